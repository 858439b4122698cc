// Which plug-in class serves which MIME type. One registry lives as long as
// the library; classes register while it loads.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/Plugin.h"

namespace qel {

struct TPluginClassInfo {
  std::vector<std::string> MimeTypes;
  TPluginClass PluginClass;

  // An entry without MIME types serves every type; otherwise the match
  // ignores the case of ASCII letters.
  bool HandlesMimeType(std::string_view mime_type) const;
};

class TPlugins {
 public:
  // Fails with "Nil plugin class not allowed" for a null class.
  void RegisterPlugin(TPluginClass plugin_class, std::string_view mime_types);
  const TPluginClassInfo* FindPluginClass(std::string_view mime_type) const;
  // The description hosts may ask for; registration does not add to it.
  const std::string& MIMEDescription() const { return MIMEDescription_; }

  // Items of a registration text: runs of characters between ';' and '|'.
  static std::vector<std::string> ParseMimeTypes(std::string_view text);

 private:
  std::vector<TPluginClassInfo> Entries_;
  std::string MIMEDescription_;
};

// The library's registry.
TPlugins& Plugins();

}  // namespace qel
