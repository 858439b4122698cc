# Run under Wine (tests/WindowsTests.cmake).
# Packs: the format, signatures, extraction and the qelpack tool.
add_executable(pack_tests
  ${CMAKE_CURRENT_LIST_DIR}/PackTestKit.cc
  ${CMAKE_CURRENT_LIST_DIR}/win32/PackSystem.cc
  ${CMAKE_CURRENT_LIST_DIR}/PlatformFacilitiesTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/HashCheckerTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/DirectoryUnpackerTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/UnpackSafetyTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/ExtractThreadTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/ParallelExtractionTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/FlushTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/QelpackToolTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/BuffStreamTest.cc
)
target_link_libraries(pack_tests PRIVATE qelpacktool qelcore qelplatform qelresources qeltestfiles qelwintestmain)
target_compile_definitions(pack_tests PRIVATE
  QEL_QELPACK_PATH="$<TARGET_FILE:qelpack>"
  QEL_DEV_PRIVATE_KEY="${PROJECT_SOURCE_DIR}/keys/dev-private.pem")
add_dependencies(pack_tests qelpack)
target_include_directories(pack_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
add_wine_tests(pack_tests)

