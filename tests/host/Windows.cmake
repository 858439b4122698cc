# Run under Wine (tests/WindowsTests.cmake).
# The host layer through the fake browser: exports, registry, instances,
# the script bridge, URL streams and page objects.
add_executable(host_tests
  ${CMAKE_CURRENT_LIST_DIR}/RecordingPlugin.cc
  ${CMAKE_CURRENT_LIST_DIR}/EntryPointsTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/RegistryTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/InstanceTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/ScriptBridgeTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/ConversionTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/URLStreamTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/BrowserObjectTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/PageAccessTest.cc
)
target_link_libraries(host_tests PRIVATE qelcore qelplatform qelresources qeltestsupport qelwintestmain)
add_wine_tests(host_tests)

