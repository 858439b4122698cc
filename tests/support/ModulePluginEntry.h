// A plug-in library that a test loads at run time through the platform's
// module loader, as a browser takes it up: its exports make the PluginEntry
// the fake browser drives. One loaded plug-in at a time (the entry's
// functions are plain ones); it must outlive the FakeBrowser that uses it.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "PluginEntry.h"
#include "platform/Module.h"

namespace qel::test {

class TModulePlugin {
 public:
  // Loads the module at `path` (a full path) and finds its exports.
  explicit TModulePlugin(const std::string& path);
  ~TModulePlugin();
  TModulePlugin(const TModulePlugin&) = delete;
  TModulePlugin& operator=(const TModulePlugin&) = delete;

  // Empty when the module and all its exports were found.
  const std::string& Failure() const { return Failure_; }
  PluginEntry Entry() const;
  // NP_GetMIMEDescriptionFunc's answer; nothing for a null pointer.
  std::optional<std::string> MimeDescription() const;

 private:
  std::unique_ptr<TModule> Module_;
  std::string Failure_;
};

}  // namespace qel::test
