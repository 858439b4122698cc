# The 64-bit Windows library and the tests run under Wine (see mingw.cmake).
set(QEL_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
