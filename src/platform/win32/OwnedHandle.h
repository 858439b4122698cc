// A kernel handle with one owner, closed when the owner goes.
#pragma once

#include <windows.h>

#include <utility>

namespace qel {

class TOwnedHandle {
 public:
  TOwnedHandle() = default;
  // Takes `handle`, which may be null or INVALID_HANDLE_VALUE (both mean none).
  explicit TOwnedHandle(HANDLE handle) : Handle_(handle) {}
  ~TOwnedHandle() { Reset(); }
  TOwnedHandle(TOwnedHandle&& other) noexcept : Handle_(other.Release()) {}
  TOwnedHandle& operator=(TOwnedHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      Handle_ = other.Release();
    }
    return *this;
  }
  TOwnedHandle(const TOwnedHandle&) = delete;
  TOwnedHandle& operator=(const TOwnedHandle&) = delete;

  bool Valid() const { return Handle_ != nullptr && Handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return Handle_; }
  HANDLE Release() { return std::exchange(Handle_, nullptr); }
  void Reset() {
    if (Valid()) ::CloseHandle(Handle_);
    Handle_ = nullptr;
  }
  // Closes now; false (with GetLastError set) when closing failed, as a late
  // write error of a file can make it.
  bool Close() {
    if (!Valid()) return true;
    return ::CloseHandle(Release()) != 0;
  }

 private:
  HANDLE Handle_ = nullptr;
};

}  // namespace qel
