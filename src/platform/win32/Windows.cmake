# Windows facilities: (to be filled)
set(QEL_WIN32_WINDOWS_SOURCES CACHE INTERNAL "")
