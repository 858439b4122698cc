# Tests of the Windows facilities for native windows, GDI drawing and
# copy-data messages, run under Wine. Built from the group's sources alone.
set(QEL_WIN32_WINDOWS_TEST_DIR ${CMAKE_CURRENT_LIST_DIR})

# The second process of the copy-data tests.
add_executable(win32_copydata_sender ${QEL_WIN32_WINDOWS_TEST_DIR}/CopyDataSender.cc
                                     ${QEL_WIN32_COPYDATA_ENDPOINT_SOURCES}
                                     ${PROJECT_SOURCE_DIR}/src/platform/LastResort.cc)
target_include_directories(win32_copydata_sender PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(win32_copydata_sender PRIVATE user32 gdi32 comctl32)

add_executable(win32_windows_tests
  ${QEL_WIN32_WINDOWS_TEST_DIR}/CopyDataTest.cc
  ${QEL_WIN32_WINDOWS_TEST_DIR}/CopyDataEndpointTest.cc
  ${QEL_WIN32_WINDOWS_TEST_DIR}/NativeWindowsTest.cc
  ${QEL_WIN32_WINDOWS_TEST_DIR}/PaintingTest.cc
  ${QEL_WIN32_WINDOWS_TEST_DIR}/TestWindows.cc
  ${QEL_WIN32_WINDOWS_SOURCES}
  ${PROJECT_SOURCE_DIR}/src/platform/Bitmap.cc
  ${PROJECT_SOURCE_DIR}/src/platform/LastResort.cc
)
target_include_directories(win32_windows_tests PRIVATE ${PROJECT_SOURCE_DIR}/src
                                                       ${PROJECT_SOURCE_DIR}/tests/support)
target_link_libraries(win32_windows_tests PRIVATE GTest::gtest_main user32 gdi32 comctl32)
# The copy-data tests start the sender from the test program's folder.
add_dependencies(win32_windows_tests win32_copydata_sender)
gtest_discover_tests(win32_windows_tests DISCOVERY_MODE PRE_TEST)
