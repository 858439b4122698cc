#include "GameFiles.h"

#include <filesystem>

#include "TempFolder.h"

namespace qel::test {

void WriteGame(const std::string& folder, const TGameConfig& config, const std::string& update_module) {
  std::filesystem::create_directories(folder);
  PutFile(folder + "config.ini",
          "[GameLaunch]\r\nInitKind=" + config.InitKind + "\r\nInitModule=" + config.InitModule +
              "\r\nUpdateModule=" + config.UpdateModule + "\r\nWndClassName=" + kWindowClass +
              "\r\nWndTitle=" + kWindowTitle + "\r\nGameGUID=" + config.GameGuid + "\r\n" + config.MoreLines);
  if (!update_module.empty()) {
    std::filesystem::copy_file(update_module, folder + config.UpdateModule,
                               std::filesystem::copy_options::overwrite_existing);
  }
}

}  // namespace qel::test
