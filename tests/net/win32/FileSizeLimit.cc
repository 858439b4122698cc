// Windows limits no file's size per process: the tests that need a full disk
// skip.
#include "FileSizeLimit.h"

namespace qel::test {

struct TFileSizeLimit::TSaved {};

bool TFileSizeLimit::Supported() { return false; }

TFileSizeLimit::TFileSizeLimit(uint64_t) {}

TFileSizeLimit::~TFileSizeLimit() = default;

}  // namespace qel::test
