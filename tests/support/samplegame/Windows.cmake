# The sample game as a Windows game ships it, built into one folder of its
# own: the game client with qelchannel.dll beside it. The update module is
# built by tests/launch/Windows.cmake (qel_launch_sample_update) from the
# same sources as the Linux one, with the Windows worker.
set(QEL_WIN_SAMPLE_GAME_DIR ${CMAKE_CURRENT_BINARY_DIR}/samplegame CACHE INTERNAL "")

# The game client: records its parameter string, opens its main window with
# the title and class of its config.ini, greets the page through
# qelchannel.dll once it has a parent, and ends on WM_CLOSE.
add_executable(qel_sample_game_client
  ${CMAKE_CURRENT_LIST_DIR}/win32/SampleGameClient.cc
  ${CMAKE_CURRENT_LIST_DIR}/ClientFiles.cc
  ${CMAKE_CURRENT_LIST_DIR}/PageGreeting.cc)
target_include_directories(qel_sample_game_client PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(qel_sample_game_client PRIVATE qelchannel user32 gdi32)
set_target_properties(qel_sample_game_client PROPERTIES
  OUTPUT_NAME samplegame
  RUNTIME_OUTPUT_DIRECTORY ${QEL_WIN_SAMPLE_GAME_DIR})
add_custom_command(TARGET qel_sample_game_client POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:qelchannel> ${QEL_WIN_SAMPLE_GAME_DIR}/)
