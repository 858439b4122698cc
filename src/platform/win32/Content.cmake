# Content: signature checks on CryptoAPI, the library's resources from its
# module's resource section, and JPEG and PNG pictures through the Windows
# Imaging Component (in COM).
set(QEL_WIN32_CONTENT_SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/ComApartment.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/CryptoHandles.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/JpegStructure.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/PictureDecoding.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/Resource.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/RsaVerify.cc
  CACHE INTERNAL "")
target_link_libraries(qelplatform PUBLIC advapi32 windowscodecs ole32 uuid)
