// The second process of the copy-data tests: sends `count` blocks to the
// window given (decimal handle value) from a window of its own, each within
// `timeout_ms` (5 s when not given), and exits with the number taken plus
// 1000 for each that timed out.
#include <windows.h>

#include <cstdlib>

#include "CopyDataSender.h"
#include "platform/CopyDataEndpoint.h"

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) return -1;
  const auto target = static_cast<qel::TWindowHandle>(std::strtoull(argv[1], nullptr, 10));
  const int count = std::atoi(argv[2]);
  const int timeout_ms = argc == 4 ? std::atoi(argv[3]) : 5000;
  HWND own = CreateWindowExA(0, "STATIC", "sender", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
  int outcome = 0;
  for (int i = 0; i < count; ++i) {
    const std::vector<uint8_t> block = qel::test::SenderBlock(i);
    const qel::TCopyDataSent sent =
        qel::SendCopyDataTo(target, reinterpret_cast<qel::TWindowHandle>(own),
                            qel::test::kSenderFirstTag + static_cast<uint32_t>(i), block, timeout_ms);
    if (sent == qel::TCopyDataSent::Taken) outcome += 1;
    if (sent == qel::TCopyDataSent::TimedOut) outcome += 1000;
  }
  DestroyWindow(own);
  return outcome;
}
