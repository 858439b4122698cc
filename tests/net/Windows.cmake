# Run under Wine (tests/WindowsTests.cmake).
# The HTTP transfer through WinHTTP, requests with resume and the data
# downloader, against nginx (the Linux program, which Wine starts) and the
# fault server on Winsock.
include(${PROJECT_SOURCE_DIR}/tests/support/win32/HttpServers.cmake)

add_executable(net_tests
  ${CMAKE_CURRENT_LIST_DIR}/NetTestSupport.cc
  ${CMAKE_CURRENT_LIST_DIR}/win32/FileSizeLimit.cc
  ${CMAKE_CURRENT_LIST_DIR}/FakeExtraction.cc
  ${CMAKE_CURRENT_LIST_DIR}/WinHttpRequestTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/HttpRequestTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/FileDownloaderTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/HttpDownloaderTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/PackCacheTest.cc
  ${CMAKE_CURRENT_LIST_DIR}/RealPackTest.cc
)
target_include_directories(net_tests PRIVATE ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(net_tests PRIVATE qelcore qelplatform qelresources qelhttpservers qeltestfiles qeltestprocess
                                        qelwintestmain)
# A downloader in a process of its own, killed mid-download by a test.
add_executable(download_child ${CMAKE_CURRENT_LIST_DIR}/DownloadChild.cc)
target_include_directories(download_child PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(download_child PRIVATE qelcore qelplatform qelresources)
# Real packs are made by qelpack with the development key.
target_compile_definitions(net_tests PRIVATE
  QEL_QELPACK_PATH="$<TARGET_FILE:qelpack>"
  QEL_DEV_PRIVATE_KEY="${PROJECT_SOURCE_DIR}/keys/dev-private.pem"
  QEL_DOWNLOAD_CHILD_PATH="$<TARGET_FILE:download_child>")
add_dependencies(net_tests qelpack download_child)
add_wine_tests(net_tests)
