// COM for the calling thread, for as long as the object lives. A thread that
// already has COM, in whatever apartment, keeps it as it is, and only an
// initialisation made here is undone here.
#pragma once

namespace qel {

class TComApartment {
 public:
  // Raises EQelError when COM cannot be used on this thread.
  TComApartment();
  ~TComApartment();
  TComApartment(const TComApartment&) = delete;
  TComApartment& operator=(const TComApartment&) = delete;

 private:
  bool Initialized_ = false;
};

}  // namespace qel
