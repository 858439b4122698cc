// Keeps the system's own error boxes ("There is no disk in the drive", "The
// code execution cannot proceed ...") off the calling thread for a scope: the
// call fails instead, and the caller handles it.
#pragma once

namespace qel::win32 {

class TNoErrorBoxes {
 public:
  TNoErrorBoxes();
  ~TNoErrorBoxes();
  TNoErrorBoxes(const TNoErrorBoxes&) = delete;
  TNoErrorBoxes& operator=(const TNoErrorBoxes&) = delete;

 private:
  unsigned long Previous_;
};

}  // namespace qel::win32
