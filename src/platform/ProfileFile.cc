#include "platform/ProfileFile.h"

#include <algorithm>

#include "platform/AnsiText.h"
#include "platform/Error.h"

namespace qel {
namespace {

bool IsBlank(char c) {
  // 0x1A is the old end-of-file mark some editors still write.
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\x1A';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (IsAscii(a) && IsAscii(b)) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
  }
  return AnsiLowerCase(a) == AnsiLowerCase(b);
}

// The value as the profile services hand it out: one pair of enclosing
// quotes removed, cut at a NUL byte and to the buffer's length.
std::string CopyValue(std::string_view value) {
  if (value.size() > 1 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  value = value.substr(0, value.find('\0'));
  return std::string(value.substr(0, TProfileFile::kValueLimit));
}

}  // namespace

TProfileFile TProfileFile::Parse(std::string_view text) {
  TProfileFile profile;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  TSection* section = nullptr;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == ';') continue;

    if (line.front() == '[') {
      const std::size_t close = line.rfind(']');
      if (close != std::string_view::npos) {
        profile.Sections_.push_back(TSection{std::string(line.substr(1, close - 1)), {}});
        section = &profile.Sections_.back();
        continue;
      }
      // Without its "]" the line is an ordinary key line.
    }
    if (section == nullptr) continue;  // keys before any section belong to none
    TEntry entry;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      entry.Key = std::string(line);
    } else {
      entry.Key = std::string(Trim(line.substr(0, equals)));
      entry.Value = std::string(Trim(line.substr(equals + 1)));
      entry.HasValue = true;
    }
    section->Entries.push_back(std::move(entry));
  }
  return profile;
}

TProfileFile TProfileFile::Load(TFileSystem& files, const std::string& path) {
  std::string text;
  try {
    text = files.ReadFile(path, kFileLimit);
  } catch (const EFileTooLarge&) {
    throw;
  } catch (const EQelError&) {
    return TProfileFile();
  }
  return Parse(text);
}

std::string TProfileFile::ReadString(std::string_view section, std::string_view key,
                                     std::string_view default_value) const {
  const auto found_section = std::find_if(Sections_.begin(), Sections_.end(),
                                          [&](const TSection& s) { return SameName(s.Name, section); });
  if (found_section == Sections_.end()) return std::string(default_value);
  const auto& entries = found_section->Entries;
  const auto found_key =
      std::find_if(entries.begin(), entries.end(), [&](const TEntry& e) { return SameName(e.Key, key); });
  if (found_key == entries.end() || !found_key->HasValue) return std::string(default_value);
  return CopyValue(found_key->Value);
}

}  // namespace qel
