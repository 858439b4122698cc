#include "qelpack/FailureText.h"

#include <cstdio>

namespace qel::pack_tool {
namespace {

// Names come from a damaged table too: bytes that would not print are escaped.
std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f || c == '"' || c == '\\') {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      quoted += escaped;
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

// "block 2, entry 5 "name": ", or as much of it as the failure knows.
std::string Where(const TPackFailure& f) {
  std::string where;
  if (f.Block >= 0) where = "block " + std::to_string(f.Block);
  if (f.Entry >= 0) {
    if (!where.empty()) where += ", ";
    where += "entry " + std::to_string(f.Entry) + " " + Quoted(f.EntryName);
  }
  return where.empty() ? where : where + ": ";
}

// The system's reason names the path again: said once is enough.
std::string Reason(std::string detail, const std::string& path) {
  const size_t at = path.empty() ? std::string::npos : detail.find(" " + path);
  if (at == std::string::npos) return detail;
  detail.erase(at, path.size() + 1);
  if (detail.ends_with(':')) detail.pop_back();
  return detail;
}

std::string Bytes(int64_t count) {
  return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

std::string What(const TPackFailure& f, std::string_view wanted_game) {
  const std::string e = std::to_string(f.Expected);
  const std::string a = std::to_string(f.Actual);
  switch (f.Kind) {
    case pfNone:
      return "no failure recorded";
    case pfPackTooShort:
      return "truncated pack: " + Bytes(f.Actual) + ", fewer than the 8-byte frame";
    case pfPackTooLarge:
      return "pack too large: more than 4 GiB";
    case pfFrameLengthsOverflow:
      return "damaged frame: signed length and signature length add up to more than 4 GiB";
    case pfPackTruncated:
      return "truncated pack: the frame says " + Bytes(f.Expected) + ", the file has " + a;
    case pfPackTrailingBytes:
      return Bytes(f.Actual - f.Expected) + " after the end of the pack (the frame says " +
             Bytes(f.Expected) + ", the file has " + a + ")";
    case pfNoPublicKey:
      return "the built-in public key cannot be used: " + f.Detail;
    case pfSignatureLength:
      return "bad signature block length: " + Bytes(f.Actual) +
             ", the built-in key's signatures have " + e;
    case pfSignatureInvalid:
      return "signature not valid for the built-in key";
    case pfHashFailed:
      return "cannot compute the pack's hash: " + f.Detail;
    case pfHeaderTooShort:
      return "damaged header: the signed region has " + Bytes(f.Actual) +
             ", fewer than the 152-byte header";
    case pfHeaderSize:
      return "damaged header: HeaderSize is " + a + ", not 152";
    case pfFormatVersion:
      return "format version " + a + "; only version 2 can be read";
    case pfHeaderSignedLength:
      return "damaged header: its SignedLength is " + a + ", the frame's is " + e;
    case pfHeaderBodyLength:
      return "damaged header: BodyLength is " + a + ", the signed length leaves " + e;
    case pfWrongGame:
      return "pack for game " + Quoted(f.Detail) + ", not " + Quoted(wanted_game);
    case pfBodyTooShort:
      return "damaged body: " + Bytes(f.Actual) + ", fewer than its 32-byte header";
    case pfBodyNegativeField:
      return "damaged body header: " + f.Detail + " is " + a;
    case pfEntryTablePastBody:
      return "damaged entry table: " + Bytes(f.Actual) + " long, but only " + e +
             " follow the body header";
    case pfEntryTableDamaged:
      return "damaged entry table: it does not inflate to " + e + " entries";
    case pfEntryName:
      return "damaged entry table: the name is not one path component";
    case pfEntryParentOutside:
      return "damaged entry table: parent " + a + " is not an earlier entry";
    case pfEntryParentIsFile:
      return "damaged entry table: parent " + a + " is a file";
    case pfBlockHeaderPastBody:
      return "damaged block: its 12-byte header runs past the end of the body (" + Bytes(f.Actual) +
             " left)";
    case pfBlockNegativeField:
      return "damaged block: " + f.Detail + " is " + a;
    case pfBlockDataPastBody:
      return "damaged block: " + Bytes(f.Expected) + " of data, but only " + a +
             " left in the body";
    case pfBlockPastEntryTable:
      return "damaged block: it covers entries beyond the table's " + e;
    case pfFileSizePastBlock:
      return "damaged block: the file's size " + e + " runs past the block's " + Bytes(f.Actual) +
             " of data left";
    case pfSingleFileIsFolder:
      return "damaged block: a single-file block covers a folder";
    case pfSingleFileSize:
      return "damaged block: the file's size is " + a + ", the single-file block unpacks to " +
             Bytes(f.Expected);
    case pfBlockAboveMaxBlock:
      return "damaged block: it unpacks to " + Bytes(f.Actual) +
             ", more than the pack's largest block of " + e;
    case pfBlockDataDamaged:
      return "damaged block: its compressed data do not inflate to " + Bytes(f.Expected);
    case pfBlockSizesDiffer:
      return "damaged block: its files add up to " + Bytes(f.Actual) + ", its header says " + e;
    case pfEntriesLeftOver:
      return "damaged pack: the blocks end after " + a + " of " + e + " entries";
    case pfTotalSizeDiffers:
      return "damaged pack: the header's total size is " + e + ", the pack unpacked to " + a;
    case pfCannotMakeDestDir:
      return "cannot make the destination folder " + f.Path + ": " + Reason(f.Detail, f.Path);
    case pfCannotMakeFolder:
      return "cannot make folder " + f.Path + ": " + Reason(f.Detail, f.Path);
    case pfCannotWriteFile:
      return "cannot write " + f.Path + ": " + Reason(f.Detail, f.Path);
    case pfCannotFlush:
      return "cannot flush " + f.Path + " to the disk: " + Reason(f.Detail, f.Path);
    case pfNoMemory:
      return "not enough memory";
    case pfNotOpened:
      return "a step was taken outside an open check or unpacking";
    case pfStopped:
      return "stopped before the end";
    case pfUnexpected:
      return "unexpected failure: " + f.Detail;
  }
  return "unknown failure " + std::to_string(f.Kind);
}

}  // namespace

std::string DescribePackFailure(const TPackFailure& failure, std::string_view wanted_game) {
  return Where(failure) + What(failure, wanted_game);
}

}  // namespace qel::pack_tool
