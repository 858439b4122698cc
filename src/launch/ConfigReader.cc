#include "launch/ConfigReader.h"

#include <optional>

#include "launch/SameText.h"
#include "platform/ProfileFile.h"

namespace qel {
namespace {

constexpr std::string_view kSection = "GameLaunch";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Up to eight significant digits give the 32-bit pattern.
std::optional<int32_t> ParseHex(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  uint32_t value = 0;
  int significant = 0;
  for (const char c : digits) {
    const int digit = HexDigit(c);
    if (digit < 0) return std::nullopt;
    if (significant > 0 || digit != 0) ++significant;
    if (significant > 8) return std::nullopt;
    value = value << 4 | static_cast<uint32_t>(digit);
  }
  return static_cast<int32_t>(value);
}

std::optional<int32_t> ParseDecimal(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  const int64_t limit = negative ? int64_t{1} << 31 : (int64_t{1} << 31) - 1;
  int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > limit) return std::nullopt;
  }
  return static_cast<int32_t>(negative ? -value : value);
}

}  // namespace

int32_t ParseInitKind(std::string_view text) {
  std::optional<int32_t> value;
  if (text.size() > 2 && (text.starts_with("0x") || text.starts_with("0X")))
    value = ParseHex(text.substr(2));
  else if (text.starts_with("$"))
    value = ParseHex(text.substr(1));
  else
    value = ParseDecimal(text);
  return value.value_or(0);
}

TConfigReader::TConfigReader(const std::string& file_path)
    : TConfigReader(file_path, DefaultFileSystem()) {}

TConfigReader::TConfigReader(const std::string& file_path, TFileSystem& files) {
  const TProfileFile profile = TProfileFile::Load(files, file_path);
  InitKind_ = ParseInitKind(profile.ReadString(kSection, "InitKind", ""));
  InitModule_ = profile.ReadString(kSection, "InitModule", "");
  UpdateModule_ = profile.ReadString(kSection, "UpdateModule", "");
  WndClassName_ = profile.ReadString(kSection, "WndClassName", "");
  WndTitle_ = profile.ReadString(kSection, "WndTitle", "");
  GameGUID_ = profile.ReadString(kSection, "GameGUID", "");
}

bool TConfigReader::MatchesGuid(std::string_view identifier) const {
  return SameTextIgnoringCase(GameGUID_, identifier);
}

}  // namespace qel
