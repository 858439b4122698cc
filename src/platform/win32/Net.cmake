# Net facilities: the HTTP transfer on WinHTTP's asynchronous API.
set(QEL_WIN32_NET_SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/HttpRequestText.cc
    ${CMAKE_CURRENT_SOURCE_DIR}/HttpTransfer.cc
    ${CMAKE_CURRENT_SOURCE_DIR}/TransferWindow.cc
    ${CMAKE_CURRENT_SOURCE_DIR}/WinHttpCallbackContext.cc
    ${CMAKE_CURRENT_SOURCE_DIR}/WinHttpErrors.cc
    CACHE INTERNAL "")
target_link_libraries(qelplatform PUBLIC winhttp)
