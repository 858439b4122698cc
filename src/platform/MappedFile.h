// A file's whole content mapped read-only into memory, so that a large file
// is read in place, with pages brought in as they are touched and given back
// under pressure, instead of being copied into memory of the process's own.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace qel {

class TMappedFile {
 public:
  // Raises EQelError when the file cannot be opened or mapped. An empty
  // file gives an empty span. The content must not change while mapped.
  // The file may be deleted while mapped (on Windows too); it then goes
  // with the mapping.
  static std::unique_ptr<TMappedFile> Open(const std::string& path);
  ~TMappedFile();
  TMappedFile(const TMappedFile&) = delete;
  TMappedFile& operator=(const TMappedFile&) = delete;

  std::span<const uint8_t> Bytes() const { return {Address_, Size_}; }

 private:
  TMappedFile(const uint8_t* address, size_t size) : Address_(address), Size_(size) {}

  const uint8_t* Address_;
  size_t Size_;
};

}  // namespace qel
