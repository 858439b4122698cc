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

// Bytes read back from the file per piece of hashing.
constexpr size_t kHashPiece = 1024 * 1024;

}  // namespace

TPackCache::TPackCache(std::unique_ptr<TDataFile> File, TPackCacheRecords Records)
    : File_(std::move(File)), Records_(std::move(Records)) {}

TPackCache::~TPackCache() { Stop(); }

bool TPackCache::Begin(int32_t Offset, int32_t Length, const std::string& Validator) {
  if (Thread_.joinable() || Offset < 0 || Offset > Length) return false;
  try {
    if (File_->Size() < Offset) return false;
  } catch (const EQelError&) {
    return false;
  }
  Offset_ = Offset;
  Length_ = Length;
  Validator_ = Validator;
  Written_.store(Offset, std::memory_order_release);
  Thread_ = std::thread(&TPackCache::Run, this);
  return true;
}

bool TPackCache::Append(const uint8_t* Data, int32_t Size) {
  const int32_t at = Written_.load(std::memory_order_relaxed);
  if (Size <= 0 || int64_t{at} + Size > Length_) return false;
  try {
    File_->WriteAt(at, {Data, static_cast<size_t>(Size)});
  } catch (const EQelError&) {
    return false;
  }
  Written_.store(at + Size, std::memory_order_release);
  { const std::lock_guard lock(Lock_); }
  Wake_.notify_one();
  return true;
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
  Stop();
  File_->Flush();
  return Written();
}

void TPackCache::Stop() {
  Stopping_.store(true, std::memory_order_release);
  { const std::lock_guard lock(Lock_); }
  Wake_.notify_one();
  if (Thread_.joinable()) Thread_.join();
}

void TPackCache::Run() {
  RunInBackground();
  try {
    RunOrFail();
  } catch (...) {
    Failure_ = std::current_exception();
  }
  Done_.store(true, std::memory_order_release);
}

void TPackCache::RunOrFail() {
  if (Offset_ == 0) {
    // The old bytes are given up before any new one can be claimed, and the
    // new bytes' validator is in place before the first claim.
    Records_.RecordSize(0);
    Records_.RecordValidator(Validator_);
  }
  Hash_ = std::make_unique<TSha1Hash>();
  int32_t flushed = Offset_;
  TClock::time_point last_flush = TClock::now();
  const auto interval = std::chrono::milliseconds(FlushIntervalMs);
  for (;;) {
    // Read before the count: once finishing, the count is final.
    const bool finishing = Finishing_.load(std::memory_order_acquire);
    const int32_t written = Written_.load(std::memory_order_acquire);
    if (!HashUpTo(written)) return;
    if (finishing) break;
    const bool due = written - flushed >= FlushBytes || TClock::now() - last_flush >= interval;
    if (written > flushed && due) {
      FlushAndRecord(written);
      flushed = written;
      last_flush = TClock::now();
    }
    std::unique_lock lock(Lock_);
    Wake_.wait_for(lock, interval, [&] {
      return Stopping_.load() || Finishing_.load() || Written_.load() != written;
    });
    if (Stopping_.load()) return;
  }
  // Bytes of an earlier, longer transfer may lie beyond the pack.
  if (File_->Size() > Length_) File_->Truncate(Length_);
  FlushAndRecord(Written_.load(std::memory_order_acquire));
  if (SignedEnd_ >= 0 && Hashed_ == SignedEnd_) Digest_ = Hash_->Finish();
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
  if (Piece_.empty()) Piece_.resize(kHashPiece);
  const int64_t end = std::min(End, SignedEnd_);
  while (Hashed_ < end) {
    if (Stopping_.load(std::memory_order_acquire)) return false;
    const auto size = static_cast<size_t>(std::min<int64_t>(end - Hashed_, kHashPiece));
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

}  // namespace qel
