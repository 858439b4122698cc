// A full disk for the tests: while a limit lives, files of this process
// cannot grow past it and writes beyond fail.
#pragma once

#include <cstdint>
#include <memory>

namespace qel::test {

class TFileSizeLimit {
 public:
  // False where the system has no such limit (Windows).
  static bool Supported();
  explicit TFileSizeLimit(uint64_t bytes);
  ~TFileSizeLimit();
  TFileSizeLimit(const TFileSizeLimit&) = delete;
  TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

 private:
  struct TSaved;
  std::unique_ptr<TSaved> Saved_;
};

}  // namespace qel::test
