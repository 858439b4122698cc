// Whether the test program runs under Wine, whose Windows services differ
// from Windows' own in a few places that tests then skip with the reason.
#pragma once

namespace qel::test {

bool RunsUnderWine();

}  // namespace qel::test
