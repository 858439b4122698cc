// NPN_PluginThreadAsyncCall: calls posted from any thread, run later on the
// browser's main thread when the test lets the browser's loop turn.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "host/NPApi.h"

namespace qel::test {

class AsyncCallQueue {
 public:
  struct Call {
    NPP instance;
    void (*function)(void*);
    void* userData;
  };

  void Post(Call call);
  // Everything posted so far; calls posted while these run wait for the next turn.
  std::vector<Call> TakeAll();
  size_t Pending() const;
  // Waits until a call is pending; answers whether one is.
  bool WaitForCall(std::chrono::milliseconds timeout);

 private:
  mutable std::mutex mutex_;
  std::condition_variable posted_;
  std::vector<Call> calls_;
};

}  // namespace qel::test
