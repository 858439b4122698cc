#include "pack/DirectoryUnpacker.h"

#include <cstring>
#include <new>

#include "pack/EntryRules.h"
#include "pack/PackFormat.h"
#include "platform/Error.h"
#include "platform/TreeFiles.h"
#include "platform/TreeFlush.h"

namespace qel {

TDirectoryUnpacker::TDirectoryUnpacker(std::string DestDir, TUnpackOptions options)
    : TDirectoryPacker(std::move(DestDir)),
      Options_(std::move(options)),
      Stream_(std::make_unique<TBuffStream>()),
      Inflater_(std::make_unique<TInflater>()) {}

TDirectoryUnpacker::~TDirectoryUnpacker() = default;

TStepResult TDirectoryUnpacker::Fail(TPackFailureKind kind, int64_t expected, int64_t actual) {
  // The first failure is the cause; later calls only see its aftermath.
  if (Failure_) return srFailed;
  Failure_.Kind = kind;
  Failure_.Block = BlockIndex_;
  Failure_.Expected = expected;
  Failure_.Actual = actual;
  return srFailed;
}

TStepResult TDirectoryUnpacker::FailAtEntry(TPackFailureKind kind, int64_t expected,
                                            int64_t actual) {
  if (Failure_) return srFailed;
  Fail(kind, expected, actual);
  Failure_.Entry = NextEntry_;
  Failure_.EntryName = EntryName(Entry(NextEntry_));
  return srFailed;
}

TStepResult TDirectoryUnpacker::FailAtPath(TPackFailureKind kind, const std::string& path,
                                           const std::exception& why) {
  if (Failure_) return srFailed;
  if (kind == pfCannotMakeDestDir || BlockIndex_ < 0)
    Fail(kind);
  else
    FailAtEntry(kind);
  Failure_.Path = path;
  Failure_.Detail = why.what();
  return srFailed;
}

TStepResult TDirectoryUnpacker::Open(std::span<const uint8_t> body) {
  if (body.size() > INT32_MAX) return Fail(pfPackTooLarge);
  Body_ = body;
  BodyLength_ = static_cast<int32_t>(body.size());
  return Guarded(&TDirectoryUnpacker::OpenOrThrow);
}

TStepResult TDirectoryUnpacker::Guarded(TStepResult (TDirectoryUnpacker::*phase)()) {
  try {
    return (this->*phase)();
  } catch (const std::bad_alloc&) {
    return Fail(pfNoMemory);
  } catch (const std::exception& failure) {
    if (!Failure_) {
      Fail(pfUnexpected);
      Failure_.Detail = failure.what();
    }
    return srFailed;
  } catch (...) {
    return Fail(pfUnexpected);
  }
}

TStepResult TDirectoryUnpacker::OpenOrThrow() {
  constexpr auto kHeader = static_cast<int32_t>(sizeof(TBodyHeader));
  if (BodyLength_ < kHeader) return Fail(pfBodyTooShort, kHeader, BodyLength_);
  TBodyHeader header;
  std::memcpy(&header, Body_.data(), sizeof header);
  const int32_t packed = header.DirectoryPackedSize;
  const int32_t count = header.EntryCount;
  for (const auto& [value, field] :
       {std::pair{packed, "DirectoryPackedSize"}, std::pair{count, "EntryCount"},
        std::pair{header.MaxBlockSize, "MaxBlockSize"}}) {
    if (value >= 0) continue;
    Fail(pfBodyNegativeField, 0, value);
    Failure_.Detail = field;
    return srFailed;
  }
  if (packed > BodyLength_ - kHeader)
    return Fail(pfEntryTablePastBody, BodyLength_ - kHeader, packed);
  const int64_t table_size = int64_t{count} * int64_t{sizeof(TPackEntry)};
  // Too few bytes to inflate to the table: refused before memory is spent on it.
  if (table_size > kMostInflatedPerByte * packed) return Fail(pfEntryTableDamaged, count);

  Entries_.assign(static_cast<size_t>(count), TPackEntry{});
  EntryCount_ = count;
  Stream_->SetBuffer(Body_.data() + sizeof header, packed);
  const std::span<uint8_t> table(reinterpret_cast<uint8_t*>(Entries_.data()),
                                 static_cast<size_t>(table_size));
  if (!Inflater_->InflateExact(*Stream_, table)) return Fail(pfEntryTableDamaged, count);
  if (TPackFailure fault = FindEntryTableFault(Entries_)) {
    Failure_ = std::move(fault);
    return srFailed;
  }

  // Only a table that cannot reach outside it gets the folder made.
  try {
    MakeFolderIfMissing(DestDir_);
  } catch (const EQelError& failure) {
    return FailAtPath(pfCannotMakeDestDir, DestDir_, failure);
  }
  try {
    if (Options_.Flush) Options_.Flush->FolderChanged(DestDir_);
  } catch (const EQelError& failure) {
    return FailAtPath(pfCannotFlush, DestDir_, failure);
  }
  TotalSize_ = header.TotalSize;
  MaxBlockSize_ = header.MaxBlockSize;
  NextEntry_ = 0;
  Unpacked_ = table_size + 8;
  NextBlock_ = kHeader + packed;
  AheadOffset_ = NextBlock_;
  AheadBlock_ = 0;
  BlockIndex_ = 0;
  return srContinue;
}

bool TDirectoryUnpacker::InflatesWhole(const TBlockHeader& block) const {
  // Stored blocks need no inflating, single files too large to hold are
  // streamed by the writer, and the rest fail when their step reaches them.
  return block.PackedSize != block.UnpackedSize && block.UnpackedSize <= MaxBlockSize_ &&
         block.UnpackedSize <= kMostInflatedPerByte * block.PackedSize;
}

void TDirectoryUnpacker::QueueAhead() {
  constexpr auto kHeader = static_cast<int32_t>(sizeof(TBlockHeader));
  while (!AheadEnded_) {
    if (AheadOffset_ > BodyLength_ - kHeader) {
      AheadEnded_ = true;
      return;
    }
    TBlockHeader block;
    std::memcpy(&block, Body_.data() + AheadOffset_, sizeof block);
    const int32_t data_start = AheadOffset_ + kHeader;
    if (block.PackedSize < 0 || block.UnpackedSize < 0 || block.EntryCountInBlock < 0 ||
        block.PackedSize > BodyLength_ - data_start) {
      AheadEnded_ = true;
      return;
    }
    if (InflatesWhole(block)) {
      if (!Pool_) Pool_ = std::make_unique<TInflatePool>(Options_.Inflation);
      if (!Pool_->HasRoomFor(block.UnpackedSize)) return;
      Pool_->Submit(AheadBlock_,
                    Body_.subspan(static_cast<size_t>(data_start),
                                  static_cast<size_t>(block.PackedSize)),
                    block.UnpackedSize);
    }
    AheadOffset_ = data_start + block.PackedSize;
    ++AheadBlock_;
  }
}

TStepResult TDirectoryUnpacker::Step() {
  if (Body_.empty() || BlockIndex_ < 0) return Fail(pfNotOpened);
  const TStepResult result = Guarded(&TDirectoryUnpacker::StepOrThrow);
  ++BlockIndex_;
  return result;
}

TStepResult TDirectoryUnpacker::StepOrThrow() {
  QueueAhead();
  constexpr auto kHeader = static_cast<int32_t>(sizeof(TBlockHeader));
  if (NextBlock_ > BodyLength_ - kHeader)
    return Fail(pfBlockHeaderPastBody, kHeader, BodyLength_ - NextBlock_);
  TBlockHeader block;
  std::memcpy(&block, Body_.data() + NextBlock_, sizeof block);
  const int32_t packed = block.PackedSize;
  const int32_t unpacked = block.UnpackedSize;
  const int32_t count = block.EntryCountInBlock;
  const int32_t data_start = NextBlock_ + kHeader;
  for (const auto& [value, field] :
       {std::pair{packed, "PackedSize"}, std::pair{unpacked, "UnpackedSize"},
        std::pair{count, "EntryCountInBlock"}}) {
    if (value >= 0) continue;
    Fail(pfBlockNegativeField, 0, value);
    Failure_.Detail = field;
    return srFailed;
  }
  if (packed > BodyLength_ - data_start)
    return Fail(pfBlockDataPastBody, packed, BodyLength_ - data_start);
  const std::span<const uint8_t> data = Body_.subspan(static_cast<size_t>(data_start),
                                                      static_cast<size_t>(packed));

  int64_t written = 0;
  TStepResult result = srContinue;
  if (packed == unpacked) {
    result = WriteEntries(data, count, written);
  } else if (count == 1) {
    Stream_->SetBuffer(data.data(), packed);
    result = WriteSingleFile(unpacked, packed, written);
  } else {
    if (unpacked > MaxBlockSize_) return Fail(pfBlockAboveMaxBlock, MaxBlockSize_, unpacked);
    const auto inflated = TakeInflated(unpacked, false);
    if (!inflated) return srFailed;
    result = WriteEntries(*inflated, count, written);
  }
  if (result != srContinue) return result;
  if (written != unpacked) return Fail(pfBlockSizesDiffer, unpacked, written);

  Unpacked_ += written;
  NextBlock_ = data_start + packed;
  if (NextBlock_ < BodyLength_) return srContinue;
  if (NextEntry_ != EntryCount_)
    Fail(pfEntriesLeftOver, EntryCount_, NextEntry_);
  else if (Unpacked_ != TotalSize_)
    Fail(pfTotalSizeDiffers, TotalSize_, Unpacked_);
  else
    return srDone;
  Failure_.Block = -1;  // the whole pack is at fault, not its last block
  return srFailed;
}

TStepResult TDirectoryUnpacker::WriteEntries(std::span<const uint8_t> data, int32_t count,
                                             int64_t& written) {
  for (int32_t i = 0; i < count; ++i) {
    if (NextEntry_ >= EntryCount_) return Fail(pfBlockPastEntryTable, EntryCount_);
    const TPackEntry& entry = Entry(NextEntry_);
    const std::string path = BuildPath(NextEntry_);
    if (entry.IsFile == 0) {
      try {
        MakeTreeFolder(path);
      } catch (const EQelError& failure) {
        return FailAtPath(pfCannotMakeFolder, path, failure);
      }
      try {
        if (Options_.Flush) Options_.Flush->FolderChanged(path);
      } catch (const EQelError& failure) {
        return FailAtPath(pfCannotFlush, path, failure);
      }
    } else {
      if (entry.Size < 0 || static_cast<size_t>(entry.Size) > data.size())
        return FailAtEntry(pfFileSizePastBlock, entry.Size, static_cast<int64_t>(data.size()));
      const auto size = static_cast<size_t>(entry.Size);
      if (WriteFile(path, data.first(size)) != srContinue) return srFailed;
      data = data.subspan(size);
      written += entry.Size;
    }
    ++NextEntry_;
  }
  return srContinue;
}

TStepResult TDirectoryUnpacker::WriteFile(const std::string& path,
                                          std::span<const uint8_t> content) {
  std::unique_ptr<TTreeFile> file;
  try {
    file = TTreeFile::Create(path);
    file->Write(content);
  } catch (const EQelError& failure) {
    return FailAtPath(pfCannotWriteFile, path, failure);
  }
  return CloseFile(*file);
}

TStepResult TDirectoryUnpacker::CloseFile(TTreeFile& file) {
  try {
    if (Options_.Flush) Options_.Flush->FileWritten(file);
  } catch (const EQelError& failure) {
    return FailAtPath(pfCannotFlush, file.Path(), failure);
  }
  try {
    file.Close();
  } catch (const EQelError& failure) {
    return FailAtPath(pfCannotWriteFile, file.Path(), failure);
  }
  return srContinue;
}

TStepResult TDirectoryUnpacker::WriteSingleFile(int32_t unpacked_size, int32_t packed_size,
                                                int64_t& written) {
  if (NextEntry_ >= EntryCount_) return Fail(pfBlockPastEntryTable, EntryCount_);
  const TPackEntry& entry = Entry(NextEntry_);
  if (entry.IsFile == 0) return FailAtEntry(pfSingleFileIsFolder);
  if (entry.Size != unpacked_size) return FailAtEntry(pfSingleFileSize, unpacked_size, entry.Size);
  if (unpacked_size > kMostInflatedPerByte * packed_size)
    return FailAtEntry(pfBlockDataDamaged, unpacked_size);
  const std::string path = BuildPath(NextEntry_);
  if (unpacked_size <= MaxBlockSize_) {
    // It fits a block buffer: a worker inflated it whole, which is fastest.
    const auto inflated = TakeInflated(unpacked_size, true);
    if (!inflated) return srFailed;
    if (WriteFile(path, *inflated) != srContinue) return srFailed;
  } else {
    std::unique_ptr<TTreeFile> file;
    try {
      file = TTreeFile::Create(path);
      if (StreamSingleFile(*file, unpacked_size) != srContinue) return srFailed;
    } catch (const EQelError& failure) {
      return FailAtPath(pfCannotWriteFile, path, failure);
    }
    if (CloseFile(*file) != srContinue) return srFailed;
  }
  written += entry.Size;
  ++NextEntry_;
  return srContinue;
}

TStepResult TDirectoryUnpacker::StreamSingleFile(TTreeFile& file, int32_t unpacked_size) {
  bool stopped = false;
  const bool complete =
      Inflater_->InflateExactTo(*Stream_, unpacked_size, [&](std::span<const uint8_t> piece) {
        stopped = Options_.StopRequested && Options_.StopRequested();
        if (!stopped) file.Write(piece);
        return !stopped;
      });
  if (stopped) return FailAtEntry(pfStopped);
  if (!complete) return FailAtEntry(pfBlockDataDamaged, unpacked_size);
  return srContinue;
}

std::optional<std::span<const uint8_t>> TDirectoryUnpacker::TakeInflated(int32_t unpacked_size,
                                                                        bool at_entry) {
  // Only a block that cannot inflate to its size was left out of the pool.
  const TInflatedBlock block = Pool_ && Pool_->IsNext(BlockIndex_)
                                   ? Pool_->TakeNext()
                                   : TInflatedBlock{ioDamaged, {}};
  if (block.Outcome == ioInflated) return block.Bytes;
  if (block.Outcome == ioNoMemory)
    Fail(pfNoMemory);
  else if (at_entry)
    FailAtEntry(pfBlockDataDamaged, unpacked_size);
  else
    Fail(pfBlockDataDamaged, unpacked_size);
  return std::nullopt;
}

}  // namespace qel
