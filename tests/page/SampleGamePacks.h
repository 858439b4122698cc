// The sample game as a server offers it to Windows players: an init pack
// with config.ini, the update module, the game client and qelchannel.dll
// beside it, and an update pack, both made by the Windows qelpack with the
// development key, in a folder of their own for a server to serve.
#pragma once

#include <string>

#include "TempFolder.h"

namespace qel::test {

inline constexpr char kPageGameId[] = "pagesample";
inline constexpr char kPageGameTitle[] = "Page Sample Game";
inline constexpr char kPageGameClass[] = "QelPageSample";

class TSampleGamePacks {
 public:
  TSampleGamePacks();

  // "init.pack" and "update.pack" in this folder.
  std::string Folder() const { return Packs_.Path(); }
  // Empty when both packs were made.
  const std::string& Failure() const { return Failure_; }

 private:
  void Pack(const std::string& tree, const std::string& name);

  TTempFolder InitTree_;
  TTempFolder UpdateTree_;
  TTempFolder Packs_;
  std::string Failure_;
};

}  // namespace qel::test
