# The tests that run under Wine against the Windows platform layer: the
# portable suites that need no Linux facility, and each group of Win32
# facilities' own tests.
include(GoogleTest)

# The fake browser host and per-test temporary folders.
add_library(qeltestsupport STATIC
  support/AsyncCallQueue.cc
  support/BrowserFuncs.cc
  support/BrowserLog.cc
  support/FakeBrowser.cc
  support/FakeInstance.cc
  support/FakePage.cc
  support/FakePageObject.cc
  support/IdentifierTable.cc
  support/LibraryPluginEntry.cc
  support/MemoryLedger.cc
  support/ObjectRef.cc
  support/ObjectRegistry.cc
  support/PageValue.cc
  support/ScopedVariant.cc
  support/ScriptEngine.cc
  support/ServiceAnswers.cc
  support/Variants.cc
)
target_include_directories(qeltestsupport PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/support
                                                 ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(qeltestsupport PUBLIC GTest::gtest Threads::Threads)

add_library(qeltestfiles STATIC support/TempFolder.cc support/win32/Wine.cc)
target_include_directories(qeltestfiles PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/support)
target_link_libraries(qeltestfiles PUBLIC GTest::gtest)

# The main function of every Windows test program: GoogleTest's, with the
# last-resort message box kept off (it would wait for a click).
add_library(qelwintestmain STATIC support/win32/TestMain.cc)
target_include_directories(qelwintestmain PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(qelwintestmain PUBLIC GTest::gtest)

# Helper programs that tests start as separate processes and talk to by lines.
add_library(qeltestprocess STATIC support/ChildProcess.cc support/win32/ChildProcessPlatform.cc)
target_include_directories(qeltestprocess PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/support)

# Every test program is discovered when CTest runs, under Wine.
function(add_wine_tests target)
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 120 ${ARGN})
endfunction()

# The fake browser's own tests, with a small plug-in of their own.
add_executable(support_tests
  support/selftest/MiniPlugin.cc
  support/selftest/BrowserTableTest.cc
  support/selftest/IdentifierTest.cc
  support/selftest/InstanceTest.cc
  support/selftest/MemoryTest.cc
  support/selftest/ObjectTest.cc
  support/selftest/PageTest.cc
  support/selftest/PageModelTest.cc
)
target_link_libraries(support_tests PRIVATE qeltestsupport GTest::gtest_main)
add_wine_tests(support_tests)

# The portable suites, each folder's own list of what runs under Wine.
foreach(folder host pack msg channel launch launcher net)
  include(${folder}/Windows.cmake)
endforeach()
include(page/Windows.cmake)

foreach(group Basics Files Windows Content)
  include(platform/win32/${group}.cmake)
endforeach()
