// The result of one step of the signature checker and of the unpacker.
#pragma once

#include <cstdint>

namespace qel {

enum TStepResult : uint8_t { srContinue = 1, srDone = 2, srFailed = 3 };

}  // namespace qel
