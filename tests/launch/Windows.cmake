# Run under Wine (tests/WindowsTests.cmake).
# Game launch management and the platform facilities it stands on: the
# configuration, the game modules, the install register, the workflow with
# its fakes, game start, launch errors, named objects within and across
# processes, and files. What rests on Linux facts alone (POSIX modes and
# owners, named objects' files, the runtime folder) and the pictures fetched
# from nginx stay in the Linux build; the tests skip with their reason where
# a fact of this system differs (no symbolic links from MinGW, kernel
# semaphores that keep a killed holder's units).
set(launch_tests_dir ${CMAKE_CURRENT_BINARY_DIR}/launch)

# The game modules the tests load, in a folder of their own. Their entry
# points keep their plain names on 32-bit Windows too (no @N suffix).
function(add_launch_test_module name source)
  add_library(${name} MODULE ${source})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
  target_link_options(${name} PRIVATE -Wl,--kill-at)
  set_target_properties(${name} PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${launch_tests_dir}/modules)
endfunction()
add_launch_test_module(qel_launch_test_game ${CMAKE_CURRENT_LIST_DIR}/TestGameModule.cc)
add_launch_test_module(qel_launch_wrong_name ${CMAKE_CURRENT_LIST_DIR}/TestWrongNameModule.cc)
# The sample game's update module as a Windows game ships it: its worker and
# waitable handle are Win32 ones.
set(sample_game_dir ${CMAKE_CURRENT_LIST_DIR}/../support/samplegame)
add_launch_test_module(qel_launch_sample_update ${sample_game_dir}/SampleUpdateModule.cc)
target_sources(qel_launch_sample_update PRIVATE ${sample_game_dir}/win32/UpdateWorker.cc)
target_include_directories(qel_launch_sample_update PRIVATE ${sample_game_dir})

# The other process of the cross-process tests.
add_executable(launch_helper ${CMAKE_CURRENT_LIST_DIR}/LaunchHelper.cc)
target_link_libraries(launch_helper PRIVATE qelcore qelplatform qelresources)
set_target_properties(launch_helper PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${launch_tests_dir})

add_executable(launch_tests
  ${CMAKE_CURRENT_LIST_DIR}/ConfigReaderTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/CrossProcessTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/FakeDownloader.cc
  ${CMAKE_CURRENT_LIST_DIR}/FakeWindowSystem.cc
  ${CMAKE_CURRENT_LIST_DIR}/FileSystemTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/GameFiles.cc
  ${CMAKE_CURRENT_LIST_DIR}/GameLauncherTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/GameManagerTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/GameStartTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/GameModulesTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/GameRegisterTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/LauncherFixture.cc
  ${CMAKE_CURRENT_LIST_DIR}/LaunchErrorsTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/NamedObjectsTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/PluginFolderTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/ProfileFileTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/win32/LaunchTestPlatform.cc
)
target_include_directories(launch_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(launch_tests PRIVATE
  qelcore qelplatform qelresources qeltestprocess qeltestfiles qelwintestmain)
target_compile_definitions(launch_tests PRIVATE
  QEL_LAUNCH_HELPER="$<TARGET_FILE:launch_helper>"
  QEL_SAMPLE_UPDATE_MODULE="$<TARGET_FILE:qel_launch_sample_update>"
  QEL_TEST_GAME_MODULE="$<TARGET_FILE:qel_launch_test_game>"
  QEL_WRONG_NAME_MODULE="$<TARGET_FILE:qel_launch_wrong_name>")
set_target_properties(launch_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${launch_tests_dir})
add_dependencies(launch_tests launch_helper qel_launch_test_game qel_launch_wrong_name qel_launch_sample_update)
add_wine_tests(launch_tests)
