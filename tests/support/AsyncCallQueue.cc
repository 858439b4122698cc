#include "AsyncCallQueue.h"

#include <utility>

namespace qel::test {

void AsyncCallQueue::Post(Call call) {
  {
    std::lock_guard lock(mutex_);
    calls_.push_back(call);
  }
  posted_.notify_all();
}

std::vector<AsyncCallQueue::Call> AsyncCallQueue::TakeAll() {
  std::lock_guard lock(mutex_);
  return std::exchange(calls_, {});
}

size_t AsyncCallQueue::Pending() const {
  std::lock_guard lock(mutex_);
  return calls_.size();
}

bool AsyncCallQueue::WaitForCall(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return posted_.wait_for(lock, timeout, [this] { return !calls_.empty(); });
}

}  // namespace qel::test
