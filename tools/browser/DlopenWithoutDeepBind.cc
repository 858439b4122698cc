// QtWebKit loads NPAPI plug-ins with QLibrary::DeepBindHint (RTLD_DEEPBIND).
// AddressSanitizer aborts on that flag, because a deep-bound library would
// bypass its malloc. Sanitizer builds link this file: the executable's dlopen
// comes first in the global scope, so it sees every dlopen of the process and
// passes it on to the next one (ASan's) without the flag.
#include <dlfcn.h>

extern "C" __attribute__((visibility("default"))) void* dlopen(const char* file, int mode) {
  using DlopenFunction = void* (*)(const char*, int);
  static const auto next = reinterpret_cast<DlopenFunction>(dlsym(RTLD_NEXT, "dlopen"));
  return next(file, mode & ~RTLD_DEEPBIND);
}
