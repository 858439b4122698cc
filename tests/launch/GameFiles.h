// The sample game's files as a pack of it would leave them in an install
// folder: config.ini and the update module.
#pragma once

#include <string>

namespace qel::test {

inline constexpr char kGameId[] = "samplegame";
inline constexpr char kWindowTitle[] = "Sample Game";
inline constexpr char kWindowClass[] = "QelSample";

// What config.ini says.
struct TGameConfig {
  std::string InitKind = "2";
  std::string InitModule = "game";
  std::string UpdateModule = "update.so";
  std::string GameGuid = kGameId;
  // Further lines of the section, each ending with "\r\n".
  std::string MoreLines;
};

// Writes config.ini as `config` says and copies the update module beside it.
void WriteGame(const std::string& folder, const TGameConfig& config = {},
               const std::string& update_module = QEL_SAMPLE_UPDATE_MODULE);

}  // namespace qel::test
