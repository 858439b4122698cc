// The Linux transport needs no real window: a window is only an id, so a
// random one is as good as any.
#include "TestWindows.h"

#include <random>

namespace qel::test {

TWindowHandle UniqueWindow() {
  static std::mt19937_64 generator{std::random_device{}()};
  // Inside 48 bits, never 0.
  return static_cast<TWindowHandle>((generator() & 0xFFFFFFFFFFFFull) | 1);
}

}  // namespace qel::test
