#include "pack/PackFrame.h"

#include <cstring>

#include "platform/AnsiText.h"

namespace qel {

std::optional<TPackParts> ReadPackParts(std::span<const uint8_t> pack) {
  if (pack.size() < kPackFrameSize) return std::nullopt;
  TPackFrame frame;
  std::memcpy(&frame, pack.data(), sizeof frame);
  const uint64_t length = frame.SignedLength;
  if (pack.size() != kPackFrameSize + length + frame.SignatureLength) return std::nullopt;
  if (length < kPackHeaderSize) return std::nullopt;

  TPackParts parts;
  parts.Signed = pack.subspan(kPackFrameSize, length);
  parts.Signature = pack.subspan(kPackFrameSize + length);
  std::memcpy(&parts.Header, parts.Signed.data(), sizeof parts.Header);
  const TPackHeader& header = parts.Header;
  if (header.HeaderSize != kPackHeaderSize || header.FormatVersion != kPackFormatVersion)
    return std::nullopt;
  if (header.SignedLength < 0 || static_cast<uint64_t>(header.SignedLength) != length)
    return std::nullopt;
  if (int64_t{kPackHeaderSize} + header.BodyLength != header.SignedLength) return std::nullopt;
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
