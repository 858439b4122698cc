#include "Wine.h"

#include <windows.h>

namespace qel::test {

// Wine's ntdll exports its version; Windows' has no such function.
bool RunsUnderWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace qel::test
