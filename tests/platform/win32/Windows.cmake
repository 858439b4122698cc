# Tests of the Windows facilities for native windows, GDI drawing and
# copy-data messages, run under Wine.
set(QEL_WIN32_WINDOWS_TEST_DIR ${CMAKE_CURRENT_LIST_DIR})

# The second process of the copy-data tests.
add_executable(win32_copydata_sender ${QEL_WIN32_WINDOWS_TEST_DIR}/CopyDataSender.cc)
target_link_libraries(win32_copydata_sender PRIVATE qelplatform)

add_executable(win32_windows_tests
  ${QEL_WIN32_WINDOWS_TEST_DIR}/CopyDataTest.cc
  ${QEL_WIN32_WINDOWS_TEST_DIR}/CopyDataEndpointTest.cc
  ${QEL_WIN32_WINDOWS_TEST_DIR}/NativeWindowsTest.cc
  ${QEL_WIN32_WINDOWS_TEST_DIR}/PaintingTest.cc
  ${QEL_WIN32_WINDOWS_TEST_DIR}/TestWindows.cc
)
target_include_directories(win32_windows_tests PRIVATE ${PROJECT_SOURCE_DIR}/src
                                                       ${PROJECT_SOURCE_DIR}/tests/support
                                                       ${PROJECT_SOURCE_DIR}/tests/msg)
target_link_libraries(win32_windows_tests PRIVATE qelplatform qelwintestmain)
# The copy-data tests start the sender from the test program's folder.
add_dependencies(win32_windows_tests win32_copydata_sender)
gtest_discover_tests(win32_windows_tests DISCOVERY_MODE PRE_TEST)
