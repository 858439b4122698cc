# Content facilities: (to be filled)
set(QEL_WIN32_CONTENT_SOURCES CACHE INTERNAL "")
