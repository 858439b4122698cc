# The Windows build: npqelgame.dll, cross-built with mingw-w64 (toolchain
# files cmake/mingw-i686.cmake and cmake/mingw-x86_64.cmake).

# Browsers load the library alone, without the compiler's runtime DLLs beside
# it, and the test programs run under Wine without them on the path.
add_link_options(-static)
set(ZLIB_USE_STATIC_LIBS ON)
# No ANSI/wide pairs of macros from windows.h beyond the "A" calls asked for,
# and no min/max macros.
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

# GoogleTest from Debian's sources (googletest), built for the target.
if(EXISTS /usr/src/googletest/CMakeLists.txt)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
else()
  message(FATAL_ERROR "GoogleTest sources (Debian: googletest) are needed for the Windows tests")
endif()

# Test programs run under Wine, in the prefix that scripts/test makes.
find_program(QEL_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(QEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QEL_WINE})
endif()
