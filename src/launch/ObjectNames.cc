#include "launch/ObjectNames.h"

namespace qel {
namespace {

std::string Name(std::string_view role, std::string_view game_id) {
  std::string name(kNamedObjectPrefix);
  name += role;
  name += game_id;
  return name;
}

}  // namespace

std::string DownloadMutexName(std::string_view game_id) { return Name("_download_", game_id); }
std::string RunSemaphoreName(std::string_view game_id) { return Name("_run_", game_id); }
std::string RegisterMutexName() { return Name("_register_", ""); }

}  // namespace qel
