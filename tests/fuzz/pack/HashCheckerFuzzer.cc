// Feeds packs to the signature checker's frame handling and steps it to the
// end in small chunks, then to the frame and header reading that follows.
#include <cstddef>
#include <cstdint>
#include <span>

#include "pack/HashChecker.h"
#include "pack/PackFrame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> pack(data, size);
  qel::THashChecker checker(61);
  qel::TStepResult result = checker.Open(pack);
  while (result == qel::srContinue) result = checker.Step();
  if (const auto parts = qel::ReadPackParts(pack))
    (void)qel::IsSameGame(qel::PackGameGuid(parts->Header), "{fuzz}");
  return 0;
}
