// The qelpack program as publishers run it: a tree made into a pack and
// extracted again comes back byte for byte; bad input gets a message and a
// non-zero exit.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "PackTestKit.h"
#include "platform/Resource.h"

namespace qel::test {
namespace {

struct TRun {
  int ExitCode;
  std::string Output;
};

class QelpackToolTest : public testing::Test {
 protected:
  // std::system answers a wait status: the exit code is its second byte.
  TRun Qelpack(const std::string& arguments) {
    const fs::path log = Temp_ / "log";
    const std::string command =
        std::string(QEL_QELPACK_PATH) + " " + arguments + " >'" + log.string() + "' 2>&1";
    const int status = std::system(command.c_str());
    return {(status & 0x7f) == 0 ? (status >> 8) & 0xff : -1, ReadText(log)};
  }
  std::string Q(const fs::path& path) { return "'" + path.string() + "'"; }

  // The development key signs these packs: `verify` and `extract` use the
  // key built into the library.
  void RequireDevelopmentKeyBuiltIn() {
    const auto built_in = FindLibraryResource("RAW", "PUBLIC_KEY");
    const auto dev = pack_tool::TPackSigner::Load(QEL_DEV_PRIVATE_KEY)->PublicBlob();
    if (!std::equal(built_in->begin(), built_in->end(), dev.begin(), dev.end()))
      GTEST_SKIP() << "QEL_PUBLIC_KEY_BLOB is not the development key";
  }

  void MakeTree(const fs::path& root) {
    fs::create_directories(root / "empty");
    fs::create_directories(root / "data" / "deeper");
    WriteText(root / "big.txt", TextBytes(300000));
    WriteText(root / "random.bin", RandomBytes(200000, 7));
    WriteText(root / "data" / "empty.txt", "");
    WriteText(root / "data" / "tiny", "t");
    WriteText(root / "data" / "noise", RandomBytes(3000, 3));
    for (int i = 0; i < 40; ++i)
      WriteText(root / "data" / "deeper" / ("n" + std::to_string(i)), TextBytes(500 + 97 * i));
  }

  TTempFolder Temp_;
  const std::string Key_ = QEL_DEV_PRIVATE_KEY;
};

TEST_F(QelpackToolTest, CreateThenExtractReproducesTheTreeByteForByte) {
  RequireDevelopmentKeyBuiltIn();
  const fs::path tree = Temp_ / "tree";
  const fs::path pack = Temp_ / "game.pack";
  MakeTree(tree);
  ASSERT_EQ(Qelpack("create --key " + Q(Key_) + " --guid {Game-1} --max-block 16384 " + Q(tree) +
                    " " + Q(pack)).ExitCode, 0);

  const TRun list = Qelpack("list " + Q(pack));
  EXPECT_EQ(list.ExitCode, 0);
  EXPECT_NE(list.Output.find("single-file entries 1 unpacked 300000"), std::string::npos);
  EXPECT_NE(list.Output.find("stored entries 1 unpacked 200000"), std::string::npos);
  EXPECT_NE(list.Output.find("multi-entry"), std::string::npos);
  EXPECT_NE(list.Output.find("file data/deeper/n39 4283"), std::string::npos);

  const TRun verify = Qelpack("verify " + Q(pack));
  EXPECT_EQ(verify.ExitCode, 0) << verify.Output;
  EXPECT_EQ(Qelpack("extract --guid {GAME-1} " + Q(pack) + " " + Q(Temp_ / "out")).ExitCode, 0);
  EXPECT_EQ(Qelpack("extract --guid {game-1} " + Q(pack) + " " + Q(Temp_ / "out2") + "/")
                .ExitCode, 0);
  EXPECT_EQ(ReadTree(Temp_ / "out"), ReadTree(tree));
  EXPECT_EQ(ReadTree(Temp_ / "out2"), ReadTree(tree));
}

TEST_F(QelpackToolTest, DamagedPackOrWrongGameIsRefusedAndWritesNothing) {
  RequireDevelopmentKeyBuiltIn();
  const fs::path tree = Temp_ / "tree";
  const fs::path pack = Temp_ / "game.pack";
  MakeTree(tree);
  ASSERT_EQ(Qelpack("create --key " + Q(Key_) + " --guid G " + Q(tree) + " " + Q(pack)).ExitCode, 0);
  EXPECT_EQ(Qelpack("extract --guid H " + Q(pack) + " " + Q(Temp_ / "out")).ExitCode, 1);

  std::string bytes = ReadText(pack);
  bytes[bytes.size() / 2] ^= 1;
  WriteText(pack, bytes);
  const TRun verify = Qelpack("verify " + Q(pack));
  EXPECT_EQ(verify.ExitCode, 1);
  EXPECT_NE(verify.Output.find("signature not valid"), std::string::npos);
  EXPECT_EQ(Qelpack("extract --guid G " + Q(pack) + " " + Q(Temp_ / "out")).ExitCode, 1);
  EXPECT_FALSE(fs::exists(Temp_ / "out"));
}

TEST_F(QelpackToolTest, KeygenWritesAMatchingPairAndNeverOverwrites) {
  const fs::path pem = Temp_ / "k.pem";
  const fs::path blob = Temp_ / "k.blob";
  ASSERT_EQ(Qelpack("keygen " + Q(pem) + " " + Q(blob)).ExitCode, 0);
  const std::string written = ReadText(blob);
  const auto derived = pack_tool::TPackSigner::Load(pem.string())->PublicBlob();
  EXPECT_EQ(written, std::string(derived.begin(), derived.end()));
  EXPECT_EQ(written.size(), 148u);

  const TRun again = Qelpack("keygen " + Q(pem) + " " + Q(Temp_ / "other.blob"));
  EXPECT_EQ(again.ExitCode, 1);
  EXPECT_NE(again.Output.find("exists already"), std::string::npos);
  EXPECT_FALSE(fs::exists(Temp_ / "other.blob"));
}

TEST_F(QelpackToolTest, BadArgumentsOrFilesGetAMessageAndANonZeroExit) {
  const fs::path tree = Temp_ / "tree";
  fs::create_directories(tree);
  const std::string create = "create --key " + Q(Key_) + " ";
  const struct {
    std::string Arguments;
    int ExitCode;
    std::string Message;
  } cases[] = {
      {"", 2, "usage"},
      {"unpack x y", 2, "usage"},
      {"verify", 2, "takes 1 operands"},
      {"extract x y", 2, "needs --guid"},
      {"create --guid G " + Q(tree) + " p", 2, "needs --key and --guid"},
      {create + "--guid G --max-block 0 " + Q(tree) + " p", 2, "--max-block"},
      {create + "--guid G --max-block 12x " + Q(tree) + " p", 2, "--max-block"},
      {create + "--guid G --guid H " + Q(tree) + " p", 2, "repeated"},
      {create + "--guid " + std::string(64, 'g') + " " + Q(tree) + " p", 1, "1 to 63 bytes"},
      {create + "--guid G " + Q(Temp_ / "none") + " p", 1, "not a folder"},
      {"create --key " + Q(Temp_ / "no.pem") + " --guid G " + Q(tree) + " p", 1, "cannot open"},
      {"list " + Q(Temp_ / "none.pack"), 1, "cannot open"},
      {"list " + Q(Key_), 1, "damaged or not a pack"},
  };
  for (const auto& c : cases) {
    const TRun run = Qelpack(c.Arguments);
    EXPECT_EQ(run.ExitCode, c.ExitCode) << c.Arguments << "\n" << run.Output;
    EXPECT_NE(run.Output.find(c.Message), std::string::npos) << c.Arguments << "\n" << run.Output;
  }
}

TEST_F(QelpackToolTest, CreateRefusesLinksInTheTree) {
  const fs::path tree = Temp_ / "tree";
  fs::create_directories(tree);
  fs::create_symlink("/etc/passwd", tree / "link");
  const TRun run = Qelpack("create --key " + Q(Key_) + " --guid G " + Q(tree) + " " +
                           Q(Temp_ / "p.pack"));
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("only folders and regular files"), std::string::npos);
}

}  // namespace
}  // namespace qel::test
