#include "platform/posix/ObjectFileName.h"

#include <glib.h>

namespace qel {
namespace {

// Longest escaped name kept whole; with the suffix it stays well inside
// the 255 bytes a file name may have.
constexpr std::size_t kWholeNameLimit = 200;
constexpr std::size_t kCutNameLength = 120;

bool IsPlainByte(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '_' || c == '-';
}

std::string Escape(std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  escaped.reserve(name.size());
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (IsPlainByte(c)) {
      escaped += ch;
    } else {
      escaped += '%';
      escaped += kHex[c >> 4];
      escaped += kHex[c & 0xF];
    }
  }
  return escaped;
}

std::string Sha256Hex(std::string_view bytes) {
  gchar* digest = g_compute_checksum_for_data(
      G_CHECKSUM_SHA256, reinterpret_cast<const guchar*>(bytes.data()), bytes.size());
  std::string hex(digest);
  g_free(digest);
  return hex;
}

}  // namespace

std::string ObjectFileName(std::string_view name, std::string_view suffix) {
  std::string escaped = Escape(name);
  if (escaped.size() > kWholeNameLimit) {
    std::size_t cut = kCutNameLength;
    // Never end inside a three-byte escape.
    const std::size_t percent = escaped.rfind('%', cut - 1);
    if (percent != std::string::npos && percent + 3 > cut) cut = percent;
    escaped = escaped.substr(0, cut) + "~" + Sha256Hex(name);
  }
  escaped += suffix;
  return escaped;
}

}  // namespace qel
