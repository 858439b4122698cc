// A game's config.ini, read once: how the game is started, which of its
// modules to call, and which game it is. Everything lies in the section
// GameLaunch; a missing file, section or key gives the default (0 or empty)
// and the step that needs the value fails later.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace qel {

class TConfigReader {
 public:
  // Reads all seven values of the file at `file_path` (install folder +
  // "config.ini") at once; later changes to the file are not seen. Raises
  // EQelError only for a file too large to be a configuration.
  explicit TConfigReader(const std::string& file_path);
  TConfigReader(const std::string& file_path, TFileSystem& files);

  int32_t InitKind() const { return InitKind_; }
  const std::string& InitModule() const { return InitModule_; }
  const std::string& UpdateModule() const { return UpdateModule_; }
  const std::string& WndClassName() const { return WndClassName_; }
  const std::string& WndTitle() const { return WndTitle_; }
  const std::string& GameGUID() const { return GameGUID_; }
  // ParametersFromEnvironment, a decimal other than 0: the game reads its
  // parameters from its environment, so its command line need not carry
  // the password. Older games lack the key.
  bool ParametersFromEnvironment() const { return ParametersFromEnvironment_; }

  // True when GameGUID and the identifier are equal after 8-bit lower-casing;
  // an empty GameGUID matches only an empty identifier.
  bool MatchesGuid(std::string_view identifier) const;

 private:
  int32_t InitKind_ = 0;
  std::string InitModule_;
  std::string UpdateModule_;
  std::string WndClassName_;
  std::string WndTitle_;
  std::string GameGUID_;
  bool ParametersFromEnvironment_ = false;
};

// The InitKind value as config.ini gives it: a signed 32-bit decimal, or
// hexadecimal after "0x"/"0X" (with digits after it) or "$"; anything else,
// including an empty text, is 0.
int32_t ParseInitKind(std::string_view text);

}  // namespace qel
