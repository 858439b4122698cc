#include "SampleGamePacks.h"

#include <filesystem>
#include <stdexcept>

#include "ChildProcess.h"

namespace qel::test {

TSampleGamePacks::TSampleGamePacks() {
  const std::string tree = InitTree_.Path();
  PutFile(tree + "config.ini", std::string("[GameLaunch]\r\nInitKind=2\r\nInitModule=bin\\samplegame.exe\r\n") +
                                   "UpdateModule=update.dll\r\nWndClassName=" + kPageGameClass +
                                   "\r\nWndTitle=" + kPageGameTitle + "\r\nGameGUID=" + kPageGameId + "\r\n");
  std::filesystem::create_directories(tree + "bin");
  const std::filesystem::path client = QEL_SAMPLE_GAME_CLIENT;
  std::filesystem::copy_file(QEL_SAMPLE_UPDATE_MODULE, tree + "update.dll");
  std::filesystem::copy_file(client, tree + "bin/samplegame.exe");
  std::filesystem::copy_file(std::filesystem::path(client).replace_filename("qelchannel.dll"),
                             tree + "bin/qelchannel.dll");
  Pack(tree, "init.pack");
  PutFile(UpdateTree_ / "patch.txt", "the second version's patch\n");
  Pack(UpdateTree_.Path(), "update.pack");
}

void TSampleGamePacks::Pack(const std::string& tree, const std::string& name) {
  try {
    TChildProcess qelpack(QEL_QELPACK_PATH, {"create", "--key", QEL_DEV_PRIVATE_KEY, "--guid", kPageGameId, tree,
                                             Packs_ / name});
    while (qelpack.ReadLine(60000)) {
    }
    if (qelpack.WaitForExit(60000) != 0) Failure_ = "qelpack did not make " + name;
  } catch (const std::runtime_error& error) {
    Failure_ = std::string("cannot run qelpack: ") + error.what();
  }
}

}  // namespace qel::test
