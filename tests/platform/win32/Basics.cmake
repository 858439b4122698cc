# Tests of the Windows Basics facilities, run under Wine: the portable tests of
# these facilities that hold no Linux-only checks, and Windows-only tests of
# what differs.
set(QEL_BASICS_TEST_DIR ${CMAKE_BINARY_DIR}/tests/basics)

add_executable(win32_basics_tests
  ${PROJECT_SOURCE_DIR}/tests/platform/AnsiTextTest.cc
  ${PROJECT_SOURCE_DIR}/tests/platform/DiskSpaceTest.cc
  ${PROJECT_SOURCE_DIR}/tests/platform/LastResortTest.cc
  ${PROJECT_SOURCE_DIR}/tests/platform/LoopTest.cc
  ${PROJECT_SOURCE_DIR}/tests/platform/ProcessEnvironmentTest.cc
  ${PROJECT_SOURCE_DIR}/tests/platform/TimerTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/AnsiTextWin32Test.cc
  ${CMAKE_CURRENT_LIST_DIR}/DriveRootsTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/GameEnvironmentTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/GameProcessWin32Test.cc
  ${CMAKE_CURRENT_LIST_DIR}/LastResortBoxTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/ModuleHandleWin32Test.cc
  ${CMAKE_CURRENT_LIST_DIR}/ModuleTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/ThreadPriorityTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/TimerWindowTest.cc
  ${PROJECT_SOURCE_DIR}/tests/support/TempFolder.cc)
target_include_directories(win32_basics_tests PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests/support)
target_link_libraries(win32_basics_tests PRIVATE qelplatform qelwintestmain)
set_target_properties(win32_basics_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QEL_BASICS_TEST_DIR})

# The game the process tests start: it writes what it was started with into
# its working folder.
add_executable(qel_test_game ${CMAKE_CURRENT_LIST_DIR}/TestGame.cc)
set_target_properties(qel_test_game PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QEL_BASICS_TEST_DIR})

# A module whose dependency lies in another folder, so that it loads only once
# that folder is the search folder.
add_library(qel_test_dependency SHARED ${CMAKE_CURRENT_LIST_DIR}/TestDependency.cc)
add_library(qel_test_module SHARED ${CMAKE_CURRENT_LIST_DIR}/TestModule.cc)
target_link_libraries(qel_test_module PRIVATE qel_test_dependency)
set_target_properties(qel_test_dependency PROPERTIES PREFIX ""
                      RUNTIME_OUTPUT_DIRECTORY ${QEL_BASICS_TEST_DIR}/module-dependencies)
set_target_properties(qel_test_module PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${QEL_BASICS_TEST_DIR}/modules)
add_dependencies(win32_basics_tests qel_test_game qel_test_module)

gtest_discover_tests(win32_basics_tests DISCOVERY_MODE PRE_TEST
                     WORKING_DIRECTORY ${QEL_BASICS_TEST_DIR} PROPERTIES TIMEOUT 120)
