# The 32-bit Windows library, the browsers' target (see mingw.cmake).
set(QEL_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
