# Tests of the Windows Net facilities: the HTTP transfer against a scripted
# server on loopback, with this thread's messages pumped by the tests.
add_executable(win32_net_tests
  ${CMAKE_CURRENT_LIST_DIR}/HttpTransferTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/LoopbackHttpServer.cc
  ${CMAKE_CURRENT_LIST_DIR}/MessagePump.cc)
target_include_directories(win32_net_tests PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests/support
                                                   ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(win32_net_tests PRIVATE qelplatform qelwintestmain ws2_32)
gtest_discover_tests(win32_net_tests DISCOVERY_MODE PRE_TEST)
