#include "pack/DirectoryUnpacker.h"

#include <cstring>
#include <new>

#include "pack/EntryRules.h"
#include "pack/PackFormat.h"
#include "platform/TreeFiles.h"

namespace qel {

TDirectoryUnpacker::TDirectoryUnpacker(std::string DestDir)
    : TDirectoryPacker(std::move(DestDir)),
      Stream_(std::make_unique<TBuffStream>()),
      Inflater_(std::make_unique<TInflater>()) {}

TDirectoryUnpacker::~TDirectoryUnpacker() = default;

TStepResult TDirectoryUnpacker::Open(std::span<const uint8_t> body) {
  if (body.size() > INT32_MAX) return srFailed;
  Body_ = body;
  BodyLength_ = static_cast<int32_t>(body.size());
  try {
    return OpenOrThrow();
  } catch (...) {  // no memory, or DestDir cannot be made
    return srFailed;
  }
}

TStepResult TDirectoryUnpacker::OpenOrThrow() {
  if (BodyLength_ < static_cast<int32_t>(sizeof(TBodyHeader))) return srFailed;
  TBodyHeader header;
  std::memcpy(&header, Body_.data(), sizeof header);
  const int32_t packed = header.DirectoryPackedSize;
  const int32_t count = header.EntryCount;
  if (packed < 0 || count < 0 || header.MaxBlockSize < 0) return srFailed;
  if (packed > BodyLength_ - static_cast<int32_t>(sizeof header)) return srFailed;
  const int64_t table_size = int64_t{count} * int64_t{sizeof(TPackEntry)};
  if (table_size > kMostInflatedPerByte * packed) return srFailed;

  Entries_.assign(static_cast<size_t>(count), TPackEntry{});
  EntryCount_ = count;
  Stream_->SetBuffer(Body_.data() + sizeof header, packed);
  const std::span<uint8_t> table(reinterpret_cast<uint8_t*>(Entries_.data()),
                                 static_cast<size_t>(table_size));
  if (!Inflater_->InflateExact(*Stream_, table)) return srFailed;
  if (!EntryTableIsSound(Entries_)) return srFailed;

  // Only a table that cannot reach outside it gets the folder made.
  MakeFolderIfMissing(DestDir_);
  TotalSize_ = header.TotalSize;
  MaxBlockSize_ = header.MaxBlockSize;
  NextEntry_ = 0;
  Unpacked_ = table_size + 8;
  NextBlock_ = static_cast<int32_t>(sizeof header) + packed;
  return srContinue;
}

TStepResult TDirectoryUnpacker::Step() {
  if (Body_.empty()) return srFailed;
  try {
    return StepOrThrow();
  } catch (...) {  // a file or folder that cannot be made or written, or no memory
    return srFailed;
  }
}

TStepResult TDirectoryUnpacker::StepOrThrow() {
  constexpr auto kHeader = static_cast<int32_t>(sizeof(TBlockHeader));
  if (NextBlock_ > BodyLength_ - kHeader) return srFailed;
  TBlockHeader block;
  std::memcpy(&block, Body_.data() + NextBlock_, sizeof block);
  const int32_t packed = block.PackedSize;
  const int32_t unpacked = block.UnpackedSize;
  const int32_t count = block.EntryCountInBlock;
  const int32_t data_start = NextBlock_ + kHeader;
  if (packed < 0 || unpacked < 0 || count < 0 || packed > BodyLength_ - data_start)
    return srFailed;
  const std::span<const uint8_t> data = Body_.subspan(static_cast<size_t>(data_start),
                                                      static_cast<size_t>(packed));

  int64_t written = 0;
  if (packed == unpacked) {
    if (!WriteEntries(data, count, written)) return srFailed;
  } else if (count == 1) {
    Stream_->SetBuffer(data.data(), packed);
    if (!WriteSingleFile(unpacked, packed, written)) return srFailed;
  } else {
    Stream_->SetBuffer(data.data(), packed);
    if (!FillBlockBuffer(unpacked, packed)) return srFailed;
    const std::span<const uint8_t> inflated(BlockBuffer_.get(), static_cast<size_t>(unpacked));
    if (!WriteEntries(inflated, count, written)) return srFailed;
  }
  if (written != unpacked) return srFailed;

  Unpacked_ += written;
  NextBlock_ = data_start + packed;
  if (NextBlock_ < BodyLength_) return srContinue;
  return NextEntry_ == EntryCount_ && Unpacked_ == TotalSize_ ? srDone : srFailed;
}

bool TDirectoryUnpacker::WriteEntries(std::span<const uint8_t> data, int32_t count,
                                      int64_t& written) {
  for (int32_t i = 0; i < count; ++i) {
    if (NextEntry_ >= EntryCount_) return false;
    const TPackEntry& entry = Entry(NextEntry_);
    if (entry.IsFile == 0) {
      MakeTreeFolder(BuildPath(NextEntry_));
    } else {
      if (entry.Size < 0 || static_cast<size_t>(entry.Size) > data.size()) return false;
      const auto size = static_cast<size_t>(entry.Size);
      auto file = TTreeFile::Create(BuildPath(NextEntry_));
      file->Write(data.first(size));
      file->Close();
      data = data.subspan(size);
      written += entry.Size;
    }
    ++NextEntry_;
  }
  return true;
}

bool TDirectoryUnpacker::WriteSingleFile(int32_t unpacked_size, int32_t packed_size,
                                         int64_t& written) {
  if (NextEntry_ >= EntryCount_) return false;
  const TPackEntry& entry = Entry(NextEntry_);
  if (entry.IsFile == 0 || entry.Size != unpacked_size) return false;
  if (unpacked_size > kMostInflatedPerByte * packed_size) return false;
  auto file = TTreeFile::Create(BuildPath(NextEntry_));
  if (unpacked_size <= MaxBlockSize_) {
    // It fits the block buffer, which inflates a whole block fastest.
    if (!FillBlockBuffer(unpacked_size, packed_size)) return false;
    file->Write({BlockBuffer_.get(), static_cast<size_t>(unpacked_size)});
  } else {
    const bool complete = Inflater_->InflateExactTo(
        *Stream_, unpacked_size, [&file](std::span<const uint8_t> piece) { file->Write(piece); });
    if (!complete) return false;
  }
  file->Close();
  written += entry.Size;
  ++NextEntry_;
  return true;
}

bool TDirectoryUnpacker::FillBlockBuffer(int32_t unpacked_size, int32_t packed_size) {
  if (unpacked_size > MaxBlockSize_) return false;
  if (unpacked_size > kMostInflatedPerByte * packed_size) return false;
  if (unpacked_size > BlockBufferSize_) {
    BlockBuffer_.reset();
    BlockBuffer_ = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(unpacked_size));
    BlockBufferSize_ = unpacked_size;
  }
  return Inflater_->InflateExact(
      *Stream_, std::span<uint8_t>(BlockBuffer_.get(), static_cast<size_t>(unpacked_size)));
}

}  // namespace qel
