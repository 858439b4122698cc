#include "SampleGamePacks.h"

#include <cstdlib>
#include <filesystem>

namespace qel::test {
namespace {

// The game channel's library, shipped beside the game's program.
constexpr char kChannelLibrary[] = "libqelchannel.so.1";

}  // namespace

TSampleGamePacks::TSampleGamePacks(TNginxServer& nginx, int init_kind) : Nginx_(nginx) {
  const std::string tree = InitTree_.Path();
  PutFile(tree + "config.ini", std::string("[GameLaunch]\nInitKind=") + std::to_string(init_kind) +
                                   "\nInitModule=" + (init_kind == 1 ? "init.so" : "bin/samplegame") +
                                   "\nUpdateModule=update.so\nWndClassName=" + kWindowClass +
                                   "\nWndTitle=" + kWindowTitle + "\nGameGUID=" + kGameId + "\n");
  std::filesystem::create_directories(tree + "bin");
  std::filesystem::copy_file(QEL_SAMPLE_UPDATE_MODULE, tree + "update.so");
  std::filesystem::copy_file(QEL_SAMPLE_INIT_MODULE, tree + "init.so");
  std::filesystem::copy_file(QEL_SAMPLE_GAME_CLIENT, tree + "bin/samplegame");
  std::filesystem::copy_file(std::filesystem::path(QEL_SAMPLE_GAME_CLIENT).replace_filename(kChannelLibrary),
                             tree + "bin/" + kChannelLibrary);
  Pack(tree, "init.pack");
  PutFile(UpdateTree_ / "patch.txt", "the second version's patch\n");
  Pack(UpdateTree_.Path(), "update.pack");
}

void TSampleGamePacks::Pack(const std::string& tree, const std::string& name) {
  const std::string command = std::string("'") + QEL_QELPACK_PATH + "' create --key '" + QEL_DEV_PRIVATE_KEY +
                              "' --guid '" + kGameId + "' '" + tree + "' '" + Nginx_.Root() + name +
                              "' > /dev/null";
  if (std::system(command.c_str()) != 0) Failure_ = "cannot pack: " + command;
}

}  // namespace qel::test
