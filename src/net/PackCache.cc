#include "net/PackCache.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "pack/PackFormat.h"
#include "platform/Error.h"
#include "platform/ThreadPriority.h"

namespace qel {
namespace {

using TClock = std::chrono::steady_clock;

// Bytes written or read back per piece of the cache's thread's work.
constexpr size_t kPiece = 1024 * 1024;

}  // namespace

TPackCache::TPackCache(std::unique_ptr<TDataFile> File, TPackCacheRecords Records)
    : File_(std::move(File)), Records_(std::move(Records)) {}

TPackCache::~TPackCache() { Stop(); }

bool TPackCache::Begin(int32_t Offset, int32_t Length, const std::string& Validator) {
  if (Thread_.joinable() || Offset < 0 || Offset > Length || RingBytes == 0) return false;
  try {
    if (File_->Size() < Offset) return false;
  } catch (const EQelError&) {
    return false;
  }
  Offset_ = Offset;
  Length_ = Length;
  Validator_ = Validator;
  // Untouched here: the cache's thread brings its pages in (see TouchRing).
  Ring_ = std::make_unique_for_overwrite<uint8_t[]>(RingBytes);
  Written_.store(Offset, std::memory_order_release);
  Thread_ = std::thread(&TPackCache::Run, this);
  return true;
}

bool TPackCache::Append(const uint8_t* Data, int32_t Size) {
  if (!Ring_ || Size <= 0 || int64_t{Written()} + Size > Length_) return false;
  const auto size = static_cast<size_t>(Size);
  std::unique_lock lock(Lock_);
  for (size_t taken = 0; taken < size;) {
    Room_.wait(lock, [&] { return WriteFailed_ || Stopping_.load() || FreeLocked() > 0; });
    if (WriteFailed_ || Stopping_.load()) return false;
    const size_t at = Filled_ % RingBytes;
    const size_t count = std::min({size - taken, FreeLocked(), RingBytes - at});
    // The cache's thread reads only what lies between Emptied_ and Filled_.
    lock.unlock();
    std::memcpy(Ring_.get() + at, Data + taken, count);
    lock.lock();
    Filled_ += count;
    taken += count;
    Wake_.notify_one();
  }
  Written_.store(Written() + Size, std::memory_order_release);
  return true;
}

size_t TPackCache::FreeLocked() const {
  const size_t free = RingBytes - static_cast<size_t>(Filled_ - Emptied_);
  // Before the ring's first round, only the part its thread has touched.
  if (Touched_ < RingBytes) return std::min(free, static_cast<size_t>(Touched_ - Filled_));
  return free;
}

int64_t TPackCache::Room() const {
  const std::lock_guard lock(Lock_);
  // A cache that failed refuses the next bytes at once.
  if (WriteFailed_ || Stopping_.load()) return static_cast<int64_t>(RingBytes);
  return static_cast<int64_t>(FreeLocked());
}

void TPackCache::Finish() {
  Finishing_.store(true, std::memory_order_release);
  { const std::lock_guard lock(Lock_); }
  Wake_.notify_one();
}

std::optional<TSha1Digest> TPackCache::SignedDigest() const {
  return Done() ? Digest_ : std::nullopt;
}

int32_t TPackCache::Keep() {
  if (Thread_.joinable()) {
    std::unique_lock lock(Lock_);
    Room_.wait(lock, [&] { return Filled_ == Emptied_ || WriteFailed_ || Done(); });
  }
  Stop();
  File_->Flush();
  const std::lock_guard lock(Lock_);
  return Offset_ + static_cast<int32_t>(Emptied_);
}

void TPackCache::Stop() {
  Stopping_.store(true, std::memory_order_release);
  {
    const std::lock_guard lock(Lock_);
    Wake_.notify_all();
    Room_.notify_all();
  }
  if (Thread_.joinable()) Thread_.join();
}

void TPackCache::Run() {
  // In the background: nobody waits for it, since the transfer holds its
  // body back while the ring is full.
  RunInBackground();
  try {
    RunOrFail();
  } catch (...) {
    Failure_ = std::current_exception();
  }
  StopFlushes();
  if (!Failure_ && FlushFailure_) Failure_ = FlushFailure_;
  {
    // An owner waiting for room must not wait for ever.
    const std::lock_guard lock(Lock_);
    if (Failure_) WriteFailed_ = true;
    Done_.store(true, std::memory_order_release);
  }
  Room_.notify_all();
}

void TPackCache::RunOrFail() {
  if (Offset_ == 0) {
    // The old bytes are given up before any new one can be claimed, and the
    // new bytes' validator is in place before the first claim.
    Records_.RecordSize(0);
    Records_.RecordValidator(Validator_);
  }
  FlushWanted_ = Offset_;
  Flusher_ = std::thread(&TPackCache::RunFlushes, this);
  Hash_ = std::make_unique<TSha1Hash>();
  // The ring fills while the kept prefix is hashed.
  if (Offset_ > 0) {
    while (TouchRing()) {
    }
  }
  if (!HashUpTo(Offset_)) return;
  int64_t asked = Offset_;
  TClock::time_point last_ask = TClock::now();
  const auto interval = std::chrono::milliseconds(FlushIntervalMs);
  for (;;) {
    // Read before the ring: once finishing, whatever the ring lacks never comes.
    const bool finishing = Finishing_.load(std::memory_order_acquire);
    const bool touched = TouchRing();
    const bool wrote = WriteFromRing();
    if (Stopping_.load(std::memory_order_acquire)) return;
    const int64_t on_file = int64_t{Offset_} + static_cast<int64_t>(Emptied_);
    if (!wrote && finishing) break;
    const bool due = on_file - asked >= FlushBytes || TClock::now() - last_ask >= interval;
    if (on_file > asked && due) {
      AskForFlush(on_file);
      asked = on_file;
      last_ask = TClock::now();
    }
    if (wrote || touched) continue;
    std::unique_lock lock(Lock_);
    Wake_.wait_for(lock, interval,
                   [&] { return Stopping_.load() || Finishing_.load() || Filled_ != Emptied_; });
  }
  StopFlushes();
  if (FlushFailure_) std::rethrow_exception(FlushFailure_);
  // Bytes of an earlier, longer transfer may lie beyond the pack.
  if (File_->Size() > Length_) File_->Truncate(Length_);
  FlushAndRecord(Offset_ + static_cast<int32_t>(Emptied_));
  if (SignedEnd_ >= 0 && Hashed_ == SignedEnd_) Digest_ = Hash_->Finish();
}

bool TPackCache::TouchRing() {
  uint64_t touched = 0;
  {
    const std::lock_guard lock(Lock_);
    if (Touched_ >= RingBytes) return false;
    touched = Touched_;
  }
  // The owner's thread writes only below Touched_, so these pages are ours.
  const size_t count = std::min(kPiece, RingBytes - static_cast<size_t>(touched));
  std::memset(Ring_.get() + touched, 0, count);
  {
    const std::lock_guard lock(Lock_);
    Touched_ += count;
  }
  Room_.notify_one();
  return true;
}

bool TPackCache::WriteFromRing() {
  size_t at = 0;
  size_t count = 0;
  uint64_t emptied = 0;
  {
    const std::lock_guard lock(Lock_);
    if (Filled_ == Emptied_) return false;
    at = Emptied_ % RingBytes;
    count = std::min({static_cast<size_t>(Filled_ - Emptied_), RingBytes - at, kPiece});
    emptied = Emptied_;
  }
  const std::span<const uint8_t> bytes(Ring_.get() + at, count);
  const int64_t file_at = int64_t{Offset_} + static_cast<int64_t>(emptied);
  File_->WriteAt(file_at, bytes);
  HashWritten(file_at, bytes);
  {
    const std::lock_guard lock(Lock_);
    Emptied_ += count;
  }
  Room_.notify_one();
  return true;
}

void TPackCache::HashWritten(int64_t At, std::span<const uint8_t> Bytes) {
  const int64_t end = At + static_cast<int64_t>(Bytes.size());
  // The frame not known yet (the pack's first bytes), or a gap before
  // these bytes: taken from the file, where they are already.
  if (SignedEnd_ < 0 || Hashed_ < At) {
    HashUpTo(end);
    return;
  }
  const int64_t from = std::max(Hashed_, At);
  const int64_t to = std::min(end, SignedEnd_);
  if (to <= from) return;
  Hash_->Add(Bytes.subspan(static_cast<size_t>(from - At), static_cast<size_t>(to - from)));
  Hashed_ = to;
}

bool TPackCache::HashUpTo(int64_t End) {
  if (SignedEnd_ < 0) {
    if (End < static_cast<int64_t>(kPackFrameSize)) return true;
    TPackFrame frame;
    uint8_t bytes[sizeof frame];
    if (File_->ReadAt(0, bytes) != sizeof bytes) throw EQelError("the cache file lost its bytes: " + Path());
    std::memcpy(&frame, bytes, sizeof frame);
    SignedEnd_ = static_cast<int64_t>(kPackFrameSize) + frame.SignedLength;
    Hashed_ = kPackFrameSize;
  }
  if (Piece_.empty()) Piece_.resize(kPiece);
  const int64_t end = std::min(End, SignedEnd_);
  while (Hashed_ < end) {
    if (Stopping_.load(std::memory_order_acquire)) return false;
    const auto size = static_cast<size_t>(std::min<int64_t>(end - Hashed_, kPiece));
    if (File_->ReadAt(Hashed_, {Piece_.data(), size}) != size)
      throw EQelError("the cache file lost its bytes: " + Path());
    Hash_->Add({Piece_.data(), size});
    Hashed_ += static_cast<int64_t>(size);
  }
  return true;
}

void TPackCache::FlushAndRecord(int32_t Size) {
  File_->Flush();
  Records_.RecordSize(Size);
}

void TPackCache::AskForFlush(int64_t Size) {
  {
    const std::lock_guard lock(Lock_);
    FlushWanted_ = Size;
  }
  FlushAsked_.notify_one();
}

void TPackCache::RunFlushes() {
  RunInBackground();
  int64_t flushed = Offset_;
  std::unique_lock lock(Lock_);
  for (;;) {
    FlushAsked_.wait(lock, [&] { return FlushesStopping_ || FlushWanted_ > flushed; });
    if (FlushesStopping_) return;
    const int64_t size = FlushWanted_;
    lock.unlock();
    try {
      FlushAndRecord(static_cast<int32_t>(size));
    } catch (...) {
      lock.lock();
      FlushFailure_ = std::current_exception();
      // The owner stops taking bytes; the writing thread ends at its next look.
      WriteFailed_ = true;
      Stopping_.store(true, std::memory_order_release);
      Room_.notify_all();
      Wake_.notify_all();
      return;
    }
    flushed = size;
    lock.lock();
  }
}

void TPackCache::StopFlushes() {
  {
    const std::lock_guard lock(Lock_);
    FlushesStopping_ = true;
  }
  FlushAsked_.notify_all();
  if (Flusher_.joinable()) Flusher_.join();
}

}  // namespace qel
