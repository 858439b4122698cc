// The sample game as a server offers it: an init pack with config.ini, the
// update module, the init module and the game client, and an update pack,
// both made by qelpack with the development key and served by nginx.
#pragma once

#include <memory>
#include <string>

#include "GameFiles.h"
#include "NginxServer.h"
#include "TempFolder.h"

namespace qel::test {

class TSampleGamePacks {
 public:
  // init_kind 1 starts the game through the init module, 2 as a process.
  explicit TSampleGamePacks(TNginxServer& nginx, int init_kind = 2);

  std::string InitUrl() const { return Nginx_.Url("init.pack"); }
  std::string UpdateUrl() const { return Nginx_.Url("update.pack"); }
  // Empty when both packs were made.
  const std::string& Failure() const { return Failure_; }

 private:
  void Pack(const std::string& tree, const std::string& name);

  TNginxServer& Nginx_;
  TTempFolder InitTree_;
  TTempFolder UpdateTree_;
  std::string Failure_;
};

}  // namespace qel::test
