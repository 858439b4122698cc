# Run under Wine (tests/WindowsTests.cmake, after tests/msg/Windows.cmake,
# which makes qelgamechannel and puts qelchannel.dll beside the programs):
# qelchannel.dll against the plug-in's real side, and its header from C.
# Linux only: BusyPluginTest.cc (a Linux socket's bounded queue; on Windows
# a block is taken while it is sent), CApiUsage.c (it makes up window ids,
# which Windows does not take) and the export check on ELF symbols.
set(QEL_CHANNEL_TEST_DIR ${CMAKE_CURRENT_LIST_DIR})

add_executable(channel_tests
  ${QEL_CHANNEL_TEST_DIR}/PluginSide.cc
  ${QEL_CHANNEL_TEST_DIR}/RequestTest.cc
  ${QEL_CHANNEL_TEST_DIR}/ReplyTest.cc
  ${PROJECT_SOURCE_DIR}/tests/msg/win32/TestWindows.cc
)
target_include_directories(channel_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/msg
                                                 ${PROJECT_SOURCE_DIR}/tests/msg/win32)
target_link_libraries(channel_tests PRIVATE qelgamechannel qelchannel qelcore qelplatform qelresources
                      qelwintestmain)
add_wine_tests(channel_tests)
