# Files facilities: (to be filled)
set(QEL_WIN32_FILES_SOURCES CACHE INTERNAL "")
