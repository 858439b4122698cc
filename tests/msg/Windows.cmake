# Run under Wine (tests/WindowsTests.cmake): the receiver and the sender, the
# copy-data transport on real WM_COPYDATA between message-only windows, and
# the channel to a game in a process of its own that uses qelchannel.dll.
# Linux only: CopyDataSocketTest.cc (the socket's bounded queue, raw
# datagrams and their descriptors) and CopyDataIsolationTest.cc (socket
# files, their folder and the peer's credentials).
set(QEL_MSG_TEST_DIR ${CMAKE_CURRENT_LIST_DIR})

# The game's side of the channel for tests, on the library as a game uses it.
if(NOT TARGET qelgamechannel)
  add_library(qelgamechannel STATIC ${PROJECT_SOURCE_DIR}/tests/support/GameChannel.cc)
  target_include_directories(qelgamechannel PUBLIC ${PROJECT_SOURCE_DIR}/tests/support
                                                   ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(qelgamechannel PUBLIC qelchannel)
  # Programs that load qelchannel.dll find it beside them.
  add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/qelchannel.dll
                     COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:qelchannel> ${CMAKE_CURRENT_BINARY_DIR}
                     DEPENDS qelchannel)
  add_custom_target(qelchannel_beside_tests DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/qelchannel.dll)
  add_dependencies(qelgamechannel qelchannel_beside_tests)
endif()

# The game's side in a process of its own.
add_executable(msg_game_peer ${QEL_MSG_TEST_DIR}/GamePeer.cc ${QEL_MSG_TEST_DIR}/win32/TestWindows.cc)
target_include_directories(msg_game_peer PRIVATE ${QEL_MSG_TEST_DIR})
target_link_libraries(msg_game_peer PRIVATE qelgamechannel qelcore qelplatform qelresources)

add_executable(msg_tests
  ${QEL_MSG_TEST_DIR}/MsgReceiverTest.cc
  ${QEL_MSG_TEST_DIR}/MsgSenderTest.cc
  ${QEL_MSG_TEST_DIR}/CopyDataTest.cc
  ${QEL_MSG_TEST_DIR}/GameChannelTest.cc
  ${QEL_MSG_TEST_DIR}/win32/TestWindows.cc
)
target_include_directories(msg_tests PRIVATE ${QEL_MSG_TEST_DIR} ${QEL_MSG_TEST_DIR}/win32)
target_link_libraries(msg_tests PRIVATE qelcore qelplatform qelresources qeltestsupport qeltestprocess
                      qelwintestmain)
target_compile_definitions(msg_tests PRIVATE QEL_GAME_PEER_PATH="$<TARGET_FILE:msg_game_peer>")
add_dependencies(msg_tests msg_game_peer)
add_wine_tests(msg_tests)
