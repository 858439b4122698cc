# The page-level scenario under Wine: npqelgame.dll loaded at run time by
# the fake browser, the Windows sample game served by nginx, real windows
# (the run needs a display: scripts/test-windows runs it under xvfb-run).
include(${CMAKE_CURRENT_LIST_DIR}/../support/samplegame/Windows.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/../support/win32/HttpServers.cmake)

add_executable(page_tests
  ${CMAKE_CURRENT_LIST_DIR}/SampleGamePacks.cc
  ${CMAKE_CURRENT_LIST_DIR}/win32/PageScenarioTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/win32/WindowSearch.cc
  ${CMAKE_CURRENT_LIST_DIR}/../support/ModulePluginEntry.cc)
target_include_directories(page_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_CURRENT_LIST_DIR}/win32)
# The system comes from the loaded library; the platform layer only for the
# module loader, the loop and the windows the test makes and checks.
target_link_libraries(page_tests PRIVATE
  qelplatform qeltestsupport qeltestfiles qeltestprocess qelhttpservers qelwintestmain)
target_compile_definitions(page_tests PRIVATE
  QEL_PLUGIN_LIBRARY="$<TARGET_FILE:npqelgame>"
  QEL_QELPACK_PATH="$<TARGET_FILE:qelpack>"
  QEL_DEV_PRIVATE_KEY="${PROJECT_SOURCE_DIR}/keys/dev-private.pem"
  QEL_SAMPLE_UPDATE_MODULE="$<TARGET_FILE:qel_launch_sample_update>"
  QEL_SAMPLE_GAME_CLIENT="$<TARGET_FILE:qel_sample_game_client>")
add_dependencies(page_tests npqelgame qelpack qel_launch_sample_update qel_sample_game_client)
# Both scenarios install and start the same game, whose mutex is the
# session's, as two browsers' would be: one at a time.
add_wine_tests(page_tests RESOURCE_LOCK page_sample_game)
