# Basics facilities: (to be filled)
set(QEL_WIN32_BASICS_SOURCES CACHE INTERNAL "")
