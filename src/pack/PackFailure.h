// Why a pack was refused. The checker, the unpacker and the extraction
// thread record the first failure they meet; the plug-in only needs their
// step results, while the publisher's tools tell people the exact cause.
#pragma once

#include <cstdint>
#include <string>

namespace qel {

enum TPackFailureKind : uint8_t {
  pfNone = 0,
  // The frame and the signature.
  pfPackTooShort,          // fewer than the frame's 8 bytes
  pfPackTooLarge,          // more than 32 bits can count
  pfFrameLengthsOverflow,  // L + S does not fit 32 bits
  pfPackTruncated,         // shorter than 8 + L + S (Expected, Actual)
  pfPackTrailingBytes,     // longer than 8 + L + S (Expected, Actual)
  pfNoPublicKey,           // the built-in key is missing or unreadable (Detail)
  pfSignatureLength,       // S is not the key's signature length (Expected, Actual)
  pfSignatureInvalid,      // the signature does not match the signed region
  pfHashFailed,            // the platform could not hash (Detail)
  // The pack header.
  pfHeaderTooShort,      // the signed region is shorter than the header (Actual)
  pfHeaderSize,          // HeaderSize is not 152 (Actual)
  pfFormatVersion,       // FormatVersion is not 2 (Actual)
  pfHeaderSignedLength,  // the header's SignedLength is not L (Expected, Actual)
  pfHeaderBodyLength,    // 152 + BodyLength is not SignedLength (Expected, Actual)
  pfWrongGame,           // the pack is for another game (Detail = the pack's game)
  // The body and its entry table.
  pfBodyTooShort,        // shorter than the body header (Actual)
  pfBodyNegativeField,   // a size or count in the body header is negative (Detail = field)
  pfEntryTablePastBody,  // the compressed table runs past the body (Actual)
  pfEntryTableDamaged,   // it does not inflate to EntryCount entries (Expected = count)
  pfEntryName,           // Entry's name is not one path component
  pfEntryParentOutside,  // Entry's Parent is not an earlier entry (Actual = Parent)
  pfEntryParentIsFile,   // Entry's Parent is a file (Actual = Parent)
  // The blocks.
  pfBlockHeaderPastBody,  // Block's header runs past the body
  pfBlockNegativeField,   // a size or count in Block's header is negative (Detail = field)
  pfBlockDataPastBody,    // Block's data run past the body (Expected = PackedSize)
  pfBlockPastEntryTable,  // Block covers entries beyond the table (Expected = EntryCount)
  pfFileSizePastBlock,    // Entry's Size runs past Block's data (Expected = Size)
  pfSingleFileIsFolder,   // Block is a single-file block whose Entry is a folder
  pfSingleFileSize,       // Entry's Size is not Block's UnpackedSize (Expected = U, Actual = Size)
  pfBlockAboveMaxBlock,   // Block unpacks to more than MaxBlockSize (Expected = max, Actual = U)
  pfBlockDataDamaged,     // Block's data do not inflate to UnpackedSize (Expected = U)
  pfBlockSizesDiffer,     // Block's files add up to Actual, its UnpackedSize is Expected
  pfEntriesLeftOver,      // the body ended after Actual of Expected entries
  pfTotalSizeDiffers,     // TotalSize is Expected, the pack unpacked to Actual
  // Writing, and everything else.
  pfCannotMakeDestDir,  // Path, Detail = the system's reason
  pfCannotMakeFolder,   // Entry's folder at Path
  pfCannotWriteFile,    // Entry's file at Path
  pfCannotFlush,        // what was written at Path could not be brought to the disk (Detail)
  pfNoMemory,
  pfNotOpened,   // Step before a successful Open
  pfStopped,     // a stop was requested before the end
  pfUnexpected,  // Detail
};

struct TPackFailure {
  TPackFailureKind Kind = pfNone;
  // -1 where no entry or block is concerned.
  int32_t Entry = -1;
  std::string EntryName;
  int32_t Block = -1;
  int64_t Expected = 0;
  int64_t Actual = 0;
  std::string Path;
  std::string Detail;

  explicit operator bool() const { return Kind != pfNone; }
};

}  // namespace qel
