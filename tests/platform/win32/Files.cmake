# Tests of the Windows Files facilities, run under Wine (the portable tests of
# files and named objects run in launch_tests).
set(QEL_WIN32_FILES_TEST_DIR ${CMAKE_CURRENT_LIST_DIR})

# The other process of the cross-process tests.
add_executable(win32_files_helper
  ${QEL_WIN32_FILES_TEST_DIR}/FilesHelper.cc)
target_link_libraries(win32_files_helper PRIVATE qelplatform)

add_executable(win32_files_tests
  ${QEL_WIN32_FILES_TEST_DIR}/DataFileTest.cc
  ${QEL_WIN32_FILES_TEST_DIR}/FileSystemWin32Test.cc
  ${QEL_WIN32_FILES_TEST_DIR}/FolderRemovalWin32Test.cc
  ${QEL_WIN32_FILES_TEST_DIR}/FolderTrustWin32Test.cc
  ${QEL_WIN32_FILES_TEST_DIR}/NamedObjectsWin32Test.cc
  ${QEL_WIN32_FILES_TEST_DIR}/ReparsePoints.cc
  ${QEL_WIN32_FILES_TEST_DIR}/TreeFilesWin32Test.cc
  ${PROJECT_SOURCE_DIR}/tests/support/TempFolder.cc)
target_include_directories(win32_files_tests PRIVATE
  ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests/support ${PROJECT_SOURCE_DIR}/tests/launch)
target_link_libraries(win32_files_tests PRIVATE qelplatform qelwintestmain)
target_compile_definitions(win32_files_tests PRIVATE
  QEL_FILES_HELPER="$<TARGET_FILE_NAME:win32_files_helper>")
add_dependencies(win32_files_tests win32_files_helper)
gtest_discover_tests(win32_files_tests DISCOVERY_MODE PRE_TEST)
