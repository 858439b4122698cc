// Window ids for transport tests: random, so that test processes running at
// the same time never listen for the same window.
#pragma once

#include <random>

#include "platform/WindowHandle.h"

namespace qel::test {

inline TWindowHandle UniqueWindow() {
  static std::mt19937_64 generator{std::random_device{}()};
  // Inside 48 bits, never 0.
  return static_cast<TWindowHandle>((generator() & 0xFFFFFFFFFFFFull) | 1);
}

}  // namespace qel::test
