#include "pack/InflatePool.h"

#include <algorithm>
#include <new>

#include "pack/BuffStream.h"
#include "pack/Inflater.h"
#include "platform/ThreadPriority.h"

namespace qel {
namespace {

constexpr int kMostWorkers = 4;
// Blocks may wait to be written up to as many as there are workers, and up
// to this many bytes in flight altogether (one block always may).
constexpr int64_t kMostBytesInFlight = 32 * 1024 * 1024;

int ChooseWorkers(int asked) {
  if (asked > 0) return asked;
  const auto cores = static_cast<int>(std::thread::hardware_concurrency());
  return std::clamp(cores, 1, kMostWorkers);
}

}  // namespace

TInflatePool::TInflatePool(TInflatePoolOptions options) : Options_(std::move(options)) {
  const int workers = ChooseWorkers(Options_.Workers);
  MostInFlight_ = 2 * static_cast<size_t>(workers);
  MostBytesInFlight_ = kMostBytesInFlight;
  Threads_.reserve(static_cast<size_t>(workers));
  try {
    for (int i = 0; i < workers; ++i) Threads_.emplace_back(&TInflatePool::Work, this);
  } catch (...) {
    // The destructor does not run for a half-made pool: the started workers
    // must end here.
    {
      const std::lock_guard lock(Lock_);
      Stopping_ = true;
    }
    WorkQueued_.notify_all();
    for (std::thread& thread : Threads_) thread.join();
    throw;
  }
}

TInflatePool::~TInflatePool() {
  {
    const std::lock_guard lock(Lock_);
    Stopping_ = true;
    Queued_.clear();
  }
  WorkQueued_.notify_all();
  for (std::thread& thread : Threads_) thread.join();
}

bool TInflatePool::HasRoomFor(int32_t size) const {
  const std::lock_guard lock(Lock_);
  if (InFlight_.empty()) return true;
  return InFlight_.size() < MostInFlight_ && BytesInFlight_ + size <= MostBytesInFlight_;
}

void TInflatePool::Submit(int32_t block, std::span<const uint8_t> packed, int32_t size) {
  auto job = std::make_unique<TJob>();
  job->Block = block;
  job->Packed = packed;
  job->Size = size;
  {
    const std::lock_guard lock(Lock_);
    Queued_.push_back(job.get());
    InFlight_.push_back(std::move(job));
    BytesInFlight_ += size;
  }
  WorkQueued_.notify_one();
}

bool TInflatePool::IsNext(int32_t block) const {
  const std::lock_guard lock(Lock_);
  return !InFlight_.empty() && InFlight_.front()->Block == block;
}

TInflatedBlock TInflatePool::TakeNext() {
  std::unique_lock lock(Lock_);
  if (Taken_) {
    if (Taken_->Buffer.Bytes) FreeBuffers_.push_back(std::move(Taken_->Buffer));
    Taken_.reset();
  }
  JobDone_.wait(lock, [this] { return InFlight_.front()->Done; });
  Taken_ = std::move(InFlight_.front());
  InFlight_.pop_front();
  BytesInFlight_ -= Taken_->Size;
  lock.unlock();
  if (Taken_->Outcome != ioInflated) return {Taken_->Outcome, {}};
  return {ioInflated, {Taken_->Buffer.Bytes.get(), static_cast<size_t>(Taken_->Size)}};
}

void TInflatePool::Work() {
  RunInBackground();
  if (Options_.LiveWorkers) ++*Options_.LiveWorkers;
  std::unique_ptr<TInflater> inflater;
  std::unique_lock lock(Lock_);
  for (;;) {
    WorkQueued_.wait(lock, [this] { return Stopping_ || !Queued_.empty(); });
    if (Stopping_) break;
    TJob* job = Queued_.front();
    Queued_.pop_front();
    if (!FreeBuffers_.empty()) {
      job->Buffer = std::move(FreeBuffers_.back());
      FreeBuffers_.pop_back();
    }
    lock.unlock();
    if (Options_.BeforeInflating) Options_.BeforeInflating(job->Block);
    const TInflateOutcome outcome = Inflate(*job, inflater);
    lock.lock();
    job->Outcome = outcome;
    job->Done = true;
    JobDone_.notify_all();
  }
  lock.unlock();
  if (Options_.LiveWorkers) --*Options_.LiveWorkers;
}

TInflateOutcome TInflatePool::Inflate(TJob& job, std::unique_ptr<TInflater>& inflater) {
  try {
    const auto size = static_cast<size_t>(job.Size);
    if (job.Buffer.Capacity < size) {
      job.Buffer.Bytes.reset();
      job.Buffer.Bytes = std::make_unique_for_overwrite<uint8_t[]>(size);
      job.Buffer.Capacity = size;
    }
    if (!inflater) inflater = std::make_unique<TInflater>();
    TBuffStream stream;
    stream.SetBuffer(job.Packed.data(), static_cast<int32_t>(job.Packed.size()));
    return inflater->InflateExact(stream, {job.Buffer.Bytes.get(), size}) ? ioInflated : ioDamaged;
  } catch (const std::bad_alloc&) {
    return ioNoMemory;
  } catch (...) {
    return ioDamaged;
  }
}

}  // namespace qel
