#include "ClientFiles.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace sample {
namespace {

std::string Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(" \t\r");
  return std::string(text.substr(first, last - first + 1));
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace

std::string IniValue(const std::string& path, std::string_view section, std::string_view key) {
  std::ifstream file(path);
  std::string line;
  bool in_section = false;
  while (std::getline(file, line)) {
    const std::string text = Trimmed(line);
    if (text.empty() || text[0] == ';') continue;
    if (text.front() == '[') {
      const size_t close = text.find(']');
      in_section = close != std::string::npos && SameText(Trimmed(text.substr(1, close - 1)), section);
      continue;
    }
    const size_t equals = text.find('=');
    if (in_section && equals != std::string::npos && SameText(Trimmed(text.substr(0, equals)), key))
      return Trimmed(text.substr(equals + 1));
  }
  return {};
}

bool WriteWhole(const std::string& path, const std::string& content) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << content;
    if (!file.flush()) return false;
  }
  // Replaces a file that is there on every system (C's rename does not on
  // Windows).
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  return !error;
}

long DelayMs(const std::string& parameters) {
  static constexpr std::string_view kDelay = "webinfo=delayms:";
  const size_t at = parameters.find(kDelay);
  if (at == std::string::npos) return 0;
  return std::strtol(parameters.c_str() + at + kDelay.size(), nullptr, 10);
}

bool AsksForNoWindow(const std::string& parameters) {
  return parameters.find("webinfo=nowindow") != std::string::npos;
}

}  // namespace sample
