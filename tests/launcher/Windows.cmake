# Run under Wine (tests/WindowsTests.cmake, after tests/launch/Windows.cmake,
# which builds the sample game's update module, and tests/msg/Windows.cmake,
# which makes qelgamechannel): the launcher instance through the fake browser,
# on the Windows platform layer, with pictures from the imaging component's
# encoders.
find_package(ZLIB REQUIRED)
set(QEL_LAUNCHER_TEST_DIR ${CMAKE_CURRENT_LIST_DIR})

add_executable(launcher_tests
  ${QEL_LAUNCHER_TEST_DIR}/LauncherFixture.cc
  ${QEL_LAUNCHER_TEST_DIR}/NumericTextTest.cc
  ${QEL_LAUNCHER_TEST_DIR}/PropertiesTest.cc
  ${QEL_LAUNCHER_TEST_DIR}/EmbedAttributesTest.cc
  ${QEL_LAUNCHER_TEST_DIR}/HostWindowTest.cc
  ${QEL_LAUNCHER_TEST_DIR}/PageCallTest.cc
  ${QEL_LAUNCHER_TEST_DIR}/ProgressDisplayTest.cc
  ${QEL_LAUNCHER_TEST_DIR}/URLDownloaderTest.cc
  ${QEL_LAUNCHER_TEST_DIR}/WorkflowTest.cc
  ${PROJECT_SOURCE_DIR}/tests/launch/FakeDownloader.cc
  ${PROJECT_SOURCE_DIR}/tests/launch/FakeWindowSystem.cc
  ${PROJECT_SOURCE_DIR}/tests/launch/GameFiles.cc
  ${PROJECT_SOURCE_DIR}/tests/platform/PictureEncoding.cc
  ${PROJECT_SOURCE_DIR}/tests/platform/win32/PictureEncoding.cc
  ${PROJECT_SOURCE_DIR}/tests/msg/win32/TestWindows.cc
)
target_include_directories(launcher_tests PRIVATE
  ${PROJECT_SOURCE_DIR}/tests/launch ${PROJECT_SOURCE_DIR}/tests/msg ${PROJECT_SOURCE_DIR}/tests/platform)
target_link_libraries(launcher_tests PRIVATE
  qelpacktool qelcore qelplatform qelresources qeltestsupport qeltestfiles qelgamechannel qelwintestmain
  ZLIB::ZLIB)
target_compile_definitions(launcher_tests PRIVATE
  QEL_SAMPLE_UPDATE_MODULE="$<TARGET_FILE:qel_launch_sample_update>"
  QEL_DEV_PRIVATE_KEY="${PROJECT_SOURCE_DIR}/keys/dev-private.pem")
add_dependencies(launcher_tests qel_launch_sample_update)
add_wine_tests(launcher_tests)
