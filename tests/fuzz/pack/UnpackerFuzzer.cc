// Feeds bodies straight to the unpacker (no signature), into a folder of its
// own that is emptied after every input.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <random>
#include <span>
#include <string>

#include "pack/DirectoryUnpacker.h"

namespace {

const std::filesystem::path& Folder() {
  static const std::filesystem::path folder =
      std::filesystem::temp_directory_path() /
      ("qel-unpacker-fuzz-" + std::to_string(std::random_device()()));
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    qel::TDirectoryUnpacker unpacker(Folder().string() + "/");
    qel::TStepResult result = unpacker.Open(std::span<const uint8_t>(data, size));
    // Every block moves at least 12 bytes on, so this ends.
    while (result == qel::srContinue) result = unpacker.Step();
  }
  std::error_code ignored;
  std::filesystem::remove_all(Folder(), ignored);
  return 0;
}
