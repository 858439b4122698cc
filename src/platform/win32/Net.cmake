# Net facilities: (to be filled)
set(QEL_WIN32_NET_SOURCES CACHE INTERNAL "")
