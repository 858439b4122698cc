// A pack's cache file, filled as the bytes arrive. The owner's thread writes
// each piece into the file; a thread of the cache's own follows behind it,
// hashing the pack's signed region from the file and flushing the file at
// intervals, and records each flushed size only after the flush, so that a
// process killed at any moment leaves a record that claims no byte the disk
// does not hold. The pack is thus never held in memory, and every byte is
// hashed once, while the transfer still runs.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
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
  // The next bytes, written at once. False when they cannot be written.
  bool Append(const uint8_t* Data, int32_t Size);
  // After the last byte: the thread hashes the rest, cuts the file to the
  // pack's length, flushes and records it, and ends.
  void Finish();
  // The thread ended after Finish, or failed; never blocks.
  bool Done() const { return Done_.load(std::memory_order_acquire); }
  // Once Done: false when the file could not be read, flushed or recorded.
  bool Succeeded() const { return Done() && !Failure_; }
  // Once Done: the SHA-1 of the signed region, when the pack's frame lies
  // within its length.
  std::optional<TSha1Digest> SignedDigest() const;
  // Stops the thread (waiting for its current piece), flushes what was
  // written and answers its size. Raises EQelError when it cannot flush.
  int32_t Keep();

  // Once Done: empties the file, giving its disk space back here and now
  // rather than wherever the file is closed. Raises EQelError.
  void Discard() { File_->Truncate(0); }

  int32_t Written() const { return Written_.load(std::memory_order_acquire); }
  const std::string& Path() const { return File_->Path(); }

  // Test seam: bytes and time between two flushes.
  int32_t FlushBytes = 32 * 1024 * 1024;
  int32_t FlushIntervalMs = 1000;

 private:
  void Run();
  void RunOrFail();
  // Hashes the signed region's bytes below `End`; false when stopped.
  bool HashUpTo(int64_t End);
  void FlushAndRecord(int32_t Size);
  void Stop();

  std::unique_ptr<TDataFile> File_;
  TPackCacheRecords Records_;
  int32_t Offset_ = 0;
  int32_t Length_ = 0;
  std::string Validator_;
  // Owner's thread: where the next piece goes. Read by the cache's thread.
  std::atomic<int32_t> Written_{0};
  std::atomic<bool> Finishing_{false};
  std::atomic<bool> Stopping_{false};
  std::atomic<bool> Done_{false};
  std::mutex Lock_;
  std::condition_variable Wake_;
  // The cache's thread's own until Done.
  std::unique_ptr<TSha1Hash> Hash_;
  std::vector<uint8_t> Piece_;
  int64_t Hashed_ = 0;
  int64_t SignedEnd_ = -1;
  std::optional<TSha1Digest> Digest_;
  std::exception_ptr Failure_;
  std::thread Thread_;
};

}  // namespace qel
