#include "Wine.h"

namespace qel::test {

bool RunsUnderWine() { return false; }

}  // namespace qel::test
