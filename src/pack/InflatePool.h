// Inflates whole blocks on a few worker threads while one writer takes them
// in body order. The blocks handed in and not yet taken are bounded in count
// and bytes, so memory stays at about one buffer per block in flight however
// far the workers could run ahead. Every worker owns its inflater; the body
// is only read. The writer alone calls the pool's functions.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace qel {

class TInflater;

struct TInflatePoolOptions {
  // Threads that inflate; 0 chooses one per core, at most 4.
  int Workers = 0;
  // Test seams. Called on a worker before it inflates a block: a test may
  // hold a worker mid-block there.
  std::function<void(int32_t block)> BeforeInflating;
  // Raised when a worker thread starts, lowered as it ends.
  std::atomic<int>* LiveWorkers = nullptr;
};

enum TInflateOutcome : uint8_t {
  ioInflated,  // the data inflated to exactly the block's size
  ioDamaged,   // they did not
  ioNoMemory,  // no buffer could be had for the block
};

struct TInflatedBlock {
  TInflateOutcome Outcome;
  // The block's bytes when inflated; valid until the next Take.
  std::span<const uint8_t> Bytes;
};

class TInflatePool {
 public:
  explicit TInflatePool(TInflatePoolOptions options);
  // Drops the blocks no worker has begun, lets running ones end, and waits
  // for every worker.
  ~TInflatePool();
  TInflatePool(const TInflatePool&) = delete;
  TInflatePool& operator=(const TInflatePool&) = delete;

  // Whether a block of `size` bytes may be handed in now; with nothing in
  // flight, any block may.
  bool HasRoomFor(int32_t size) const;
  // Hands in a block whose `packed` data should inflate to `size` bytes.
  // Blocks are taken in the order they were handed in; `packed` must stay
  // readable until the pool is destroyed.
  void Submit(int32_t block, std::span<const uint8_t> packed, int32_t size);
  // The oldest block handed in and not taken, when it is `block`.
  bool IsNext(int32_t block) const;
  // Waits for the oldest block handed in (IsNext) and gives it to the writer.
  TInflatedBlock TakeNext();
  int Workers() const { return static_cast<int>(Threads_.size()); }

 private:
  struct TBuffer {
    std::unique_ptr<uint8_t[]> Bytes;
    size_t Capacity = 0;
  };
  struct TJob {
    int32_t Block;
    std::span<const uint8_t> Packed;
    int32_t Size;
    TBuffer Buffer;
    bool Done = false;
    TInflateOutcome Outcome = ioDamaged;
  };

  void Work();
  // Runs outside the lock, into the job's buffer, with the worker's own
  // inflater (made on its first block).
  static TInflateOutcome Inflate(TJob& job, std::unique_ptr<TInflater>& inflater);

  TInflatePoolOptions Options_;
  size_t MostInFlight_;
  int64_t MostBytesInFlight_;
  mutable std::mutex Lock_;
  std::condition_variable WorkQueued_;
  std::condition_variable JobDone_;
  bool Stopping_ = false;
  // Handed in and not taken, oldest first; Queued_ holds those no worker
  // has begun. Both guarded by Lock_; a job's fields other than Done and
  // Outcome belong to the worker that popped it until Done is set.
  std::deque<std::unique_ptr<TJob>> InFlight_;
  std::deque<TJob*> Queued_;
  int64_t BytesInFlight_ = 0;
  std::vector<TBuffer> FreeBuffers_;
  // The writer's block from the last TakeNext; its buffer is reused after.
  std::unique_ptr<TJob> Taken_;
  std::vector<std::thread> Threads_;
};

}  // namespace qel
