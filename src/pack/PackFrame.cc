#include "pack/PackFrame.h"

#include <cstring>

#include "platform/AnsiText.h"

namespace qel {

namespace {

std::nullopt_t Fail(TPackFailure* failure, TPackFailureKind kind, int64_t expected,
                    int64_t actual) {
  if (failure != nullptr) {
    failure->Kind = kind;
    failure->Expected = expected;
    failure->Actual = actual;
  }
  return std::nullopt;
}

}  // namespace

std::optional<TPackParts> ReadPackParts(std::span<const uint8_t> pack, TPackFailure* failure) {
  const auto size = static_cast<int64_t>(pack.size());
  if (pack.size() < kPackFrameSize) return Fail(failure, pfPackTooShort, kPackFrameSize, size);
  TPackFrame frame;
  std::memcpy(&frame, pack.data(), sizeof frame);
  const uint64_t length = frame.SignedLength;
  const auto framed = static_cast<int64_t>(kPackFrameSize + length + frame.SignatureLength);
  if (size < framed) return Fail(failure, pfPackTruncated, framed, size);
  if (size > framed) return Fail(failure, pfPackTrailingBytes, framed, size);
  if (length < kPackHeaderSize)
    return Fail(failure, pfHeaderTooShort, kPackHeaderSize, static_cast<int64_t>(length));

  TPackParts parts;
  parts.Signed = pack.subspan(kPackFrameSize, length);
  parts.Signature = pack.subspan(kPackFrameSize + length);
  std::memcpy(&parts.Header, parts.Signed.data(), sizeof parts.Header);
  const TPackHeader& header = parts.Header;
  if (header.HeaderSize != kPackHeaderSize)
    return Fail(failure, pfHeaderSize, kPackHeaderSize, header.HeaderSize);
  if (header.FormatVersion != kPackFormatVersion)
    return Fail(failure, pfFormatVersion, kPackFormatVersion, header.FormatVersion);
  if (header.SignedLength < 0 || static_cast<uint64_t>(header.SignedLength) != length)
    return Fail(failure, pfHeaderSignedLength, static_cast<int64_t>(length), header.SignedLength);
  if (int64_t{kPackHeaderSize} + header.BodyLength != header.SignedLength)
    return Fail(failure, pfHeaderBodyLength, header.SignedLength - int64_t{kPackHeaderSize},
                header.BodyLength);
  parts.Body = parts.Signed.subspan(kPackHeaderSize);
  return parts;
}

std::string PackGameGuid(const TPackHeader& header) {
  const char* end = static_cast<const char*>(std::memchr(header.GameGuid, 0, kGameGuidSize));
  return std::string(header.GameGuid, end ? end : header.GameGuid + kGameGuidSize);
}

bool IsSameGame(std::string_view a, std::string_view b) {
  return AnsiLowerCase(a) == AnsiLowerCase(b);
}

}  // namespace qel
