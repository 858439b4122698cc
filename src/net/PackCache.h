// A pack's cache file, filled as the bytes arrive. The owner's thread only
// copies each piece into a small ring; a thread of the cache's own writes
// the pieces into the file and hashes the pack's signed region as they
// pass, and a second one flushes the file at intervals and records each
// flushed size only after the flush (so that writing never waits for it).
// A process killed at any moment thus leaves a record that claims no byte
// the disk does not hold. The pack is never held in memory, every byte is
// hashed once while the transfer still runs, and the owner's thread never
// waits for the disk as long as it appends no more than Room.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "platform/DataFile.h"
#include "platform/RsaVerify.h"

namespace qel {

// What the cache records about itself, called on the cache's thread.
struct TPackCacheRecords {
  // The file holds `Size` valid bytes, all on the disk; 0: none to keep.
  std::function<void(int32_t Size)> RecordSize;
  // The validator of the resource the file's bytes come from.
  std::function<void(const std::string& Validator)> RecordValidator;
};

class TPackCache {
 public:
  // The cache's thread starts with Begin.
  TPackCache(std::unique_ptr<TDataFile> File, TPackCacheRecords Records);
  // Stops the thread; what it recorded last stays.
  ~TPackCache();
  TPackCache(const TPackCache&) = delete;
  TPackCache& operator=(const TPackCache&) = delete;

  // The transfer's bytes start at `Offset` of a pack of `Length` bytes: the
  // file's first Offset bytes are kept and hashed first; from 0, the record
  // first gives up the old bytes and then names `Validator`. False when the
  // file holds fewer than Offset bytes.
  bool Begin(int32_t Offset, int32_t Length, const std::string& Validator);
  // The next bytes, taken into the ring; waits while the ring is full.
  // False when they run past the pack or the file could not be written.
  bool Append(const uint8_t* Data, int32_t Size);
  // Bytes Append takes (or refuses) now without waiting.
  int64_t Room() const;
  // After the last byte: the thread writes and hashes the rest, cuts the
  // file to the pack's length, flushes and records it, and ends.
  void Finish();
  // The thread ended after Finish, or failed; never blocks.
  bool Done() const { return Done_.load(std::memory_order_acquire); }
  // Once Done: false when the file could not be read, written, flushed or
  // recorded.
  bool Succeeded() const { return Done() && !Failure_; }
  // Once Done: the SHA-1 of the signed region, when the pack's frame lies
  // within its length.
  std::optional<TSha1Digest> SignedDigest() const;
  // Writes what the ring holds, stops the thread, flushes the file and
  // answers the size it holds. Raises EQelError when it cannot flush.
  int32_t Keep();
  // Once Done: empties the file, giving its disk space back here and now
  // rather than wherever the file is closed. Raises EQelError.
  void Discard() { File_->Truncate(0); }

  // Bytes of the pack taken so far, counted from its start.
  int32_t Written() const { return Written_.load(std::memory_order_acquire); }
  const std::string& Path() const { return File_->Path(); }

  // Test seams: bytes and time between two flushes, and the ring's size (fed
  // by a transfer, at least kMostBodyBytesPerEvent, or Room never suffices).
  int32_t FlushBytes = 32 * 1024 * 1024;
  int32_t FlushIntervalMs = 1000;
  size_t RingBytes = 8 * 1024 * 1024;

 private:
  void Run();
  void RunOrFail();
  // Brings the next piece of the ring's fresh memory in, so that faulting
  // its pages in (slow on some virtual machines) falls on this thread, not
  // on the owner's; false once the whole ring is in.
  bool TouchRing();
  // Writes the ring's oldest bytes into the file and hashes them; false
  // when the ring was empty.
  bool WriteFromRing();
  // The bytes Append may put into the ring now; Lock_ held.
  size_t FreeLocked() const;
  // Hashes the signed region's bytes below `End` from the file; false when
  // stopped.
  bool HashUpTo(int64_t End);
  // Hashes `Bytes`, which lie at `At` of the pack and were just written.
  void HashWritten(int64_t At, std::span<const uint8_t> Bytes);
  void FlushAndRecord(int32_t Size);
  // The flushing thread: flushes and records what the writing thread asks for.
  void RunFlushes();
  void AskForFlush(int64_t Size);
  void StopFlushes();
  void Stop();

  std::unique_ptr<TDataFile> File_;
  TPackCacheRecords Records_;
  int32_t Offset_ = 0;
  int32_t Length_ = 0;
  std::string Validator_;
  std::atomic<int32_t> Written_{0};
  std::atomic<bool> Finishing_{false};
  std::atomic<bool> Stopping_{false};
  std::atomic<bool> Done_{false};
  // Guards the ring's counts; the owner's thread fills the ring, the
  // cache's thread empties it.
  mutable std::mutex Lock_;
  std::condition_variable Wake_;
  std::condition_variable Room_;
  std::unique_ptr<uint8_t[]> Ring_;
  uint64_t Filled_ = 0;
  uint64_t Emptied_ = 0;
  uint64_t Touched_ = 0;
  bool WriteFailed_ = false;
  // The cache's thread's own until Done.
  std::unique_ptr<TSha1Hash> Hash_;
  std::vector<uint8_t> Piece_;
  int64_t Hashed_ = 0;
  int64_t SignedEnd_ = -1;
  std::optional<TSha1Digest> Digest_;
  std::exception_ptr Failure_;
  // Asked for by the writing thread, done by the flushing thread; guarded
  // by Lock_.
  int64_t FlushWanted_ = 0;
  bool FlushesStopping_ = false;
  std::condition_variable FlushAsked_;
  std::exception_ptr FlushFailure_;
  std::thread Flusher_;
  std::thread Thread_;
};

}  // namespace qel
