#include "platform/win32/NoErrorBoxes.h"

#include <windows.h>

namespace qel::win32 {

TNoErrorBoxes::TNoErrorBoxes() : Previous_(GetThreadErrorMode()) {
  SetThreadErrorMode(Previous_ | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, nullptr);
}

TNoErrorBoxes::~TNoErrorBoxes() { SetThreadErrorMode(Previous_, nullptr); }

}  // namespace qel::win32
