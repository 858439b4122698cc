// The fake browser's NPN entries: every member of NPNetscapeFuncs, each a C
// function that acts on FakeBrowser::Current().
#pragma once

#include "host/NPApi.h"

namespace qel::test {

// Fills every entry and sets size and version (0.27).
void FillBrowserFuncs(NPNetscapeFuncs& table);

}  // namespace qel::test
