# Windows facilities: native windows and their GDI drawing, and copy-data
# messages on WM_COPYDATA.
set(QEL_WIN32_WINDOWS_SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/CopyDataListener.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/CopyDataEndpoint.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/CopyDataInbox.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/EmbeddedStyle.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/GdiCanvas.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/PlainWindow.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/SentMessageWait.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/TopLevelScan.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/Win32Windows.cc
  CACHE INTERNAL "")
# The copy-data endpoint's sources, which the game's channel library takes too.
set(QEL_WIN32_COPYDATA_ENDPOINT_SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/CopyDataEndpoint.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/CopyDataInbox.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/SentMessageWait.cc
  CACHE INTERNAL "")
if(TARGET qelplatform)
  target_link_libraries(qelplatform PUBLIC user32 gdi32 comctl32)
endif()
