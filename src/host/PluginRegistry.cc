#include "host/PluginRegistry.h"

#include "platform/Error.h"

namespace qel {

namespace {

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

bool TPluginClassInfo::HandlesMimeType(std::string_view mime_type) const {
  if (MimeTypes.empty()) return true;
  for (const std::string& item : MimeTypes) {
    if (SameIgnoringAsciiCase(item, mime_type)) return true;
  }
  return false;
}

std::vector<std::string> TPlugins::ParseMimeTypes(std::string_view text) {
  std::vector<std::string> items;
  auto is_separator = [](char c) { return c == ';' || c == '|'; };
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && is_separator(text[i])) ++i;
    size_t start = i;
    while (i < text.size() && !is_separator(text[i])) ++i;
    if (i > start) items.emplace_back(text.substr(start, i - start));
  }
  return items;
}

void TPlugins::RegisterPlugin(TPluginClass plugin_class, std::string_view mime_types) {
  if (plugin_class == nullptr) throw EQelError("Nil plugin class not allowed");
  Entries_.push_back({ParseMimeTypes(mime_types), plugin_class});
}

const TPluginClassInfo* TPlugins::FindPluginClass(std::string_view mime_type) const {
  for (const TPluginClassInfo& entry : Entries_) {
    if (entry.HandlesMimeType(mime_type)) return &entry;
  }
  return nullptr;
}

TPlugins& Plugins() {
  static TPlugins registry;
  return registry;
}

}  // namespace qel
