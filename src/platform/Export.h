// How the library's entry points are marked for export and which calling
// convention the browser expects of them on this platform.
#pragma once

#if defined(_WIN32)
#define QEL_EXPORT extern "C" __declspec(dllexport)
#define QEL_OSCALL __stdcall
#else
#define QEL_EXPORT extern "C" __attribute__((visibility("default")))
#define QEL_OSCALL
#endif
