#include "launch/GameRegister.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <thread>

#include "FaultyFileSystem.h"
#include "LaunchTestPlatform.h"
#include "ObjectFolderFixture.h"
#include "launch/ObjectNames.h"
#include "platform/AnsiText.h"
#include "platform/AtomicFile.h"
#include "platform/NamedMutex.h"

namespace qel {
namespace {

using test::FileContent;
using test::PutFile;
using test::RawRecord;

class GameRegisterTest : public test::ObjectFolderFixture {
 protected:
  TGameRegister Register_{PluginFolder_.Path()};
};

TEST_F(GameRegisterTest, AddedGamesAreFoundWithoutRegardToLetterCase) {
  EXPECT_EQ(Register_.GetPath("ABC"), "");
  EXPECT_FALSE(std::filesystem::exists(RegisterFile()));

  ASSERT_TRUE(Register_.AddRecord("ABC", "/games/abc/"));
  EXPECT_EQ(FileContent(RegisterFile()), RawRecord("ABC", "/games/abc/"));
  ASSERT_TRUE(Register_.AddRecord("other", "/games/other/"));
  EXPECT_EQ(Register_.GetPath("abc"), "/games/abc/");
  EXPECT_EQ(Register_.GetPath("aBc"), "/games/abc/");
  EXPECT_EQ(Register_.GetPath("OTHER"), "/games/other/");
  EXPECT_EQ(Register_.GetPath("ab"), "");
  EXPECT_EQ(Register_.GetPath(""), "");

  // A second register object sees the same file.
  TGameRegister again(PluginFolder_.Path());
  EXPECT_EQ(again.GetPath("abc"), "/games/abc/");
}

TEST_F(GameRegisterTest, NonAsciiIdentifiersMatchByTheCharactersetsLetterCase) {
  SetAnsiCharsetForTesting("CP1251");
  ASSERT_TRUE(Register_.AddRecord("\xC8\xC3\xD0\xC0-1", "/games/igra/"));  // ИГРА-1
  EXPECT_EQ(Register_.GetPath("\xE8\xE3\xF0\xE0-1"), "/games/igra/");   // игра-1
  EXPECT_EQ(Register_.GetPath("\xE8\xE3\xF0\xE1-1"), "");
  EXPECT_FALSE(Register_.AddRecord("\xE8\xE3\xF0\xE0-1", "/other/"));
  SetAnsiCharsetForTesting("");
}

TEST_F(GameRegisterTest, AddingARegisteredGameInAnyLetterCaseChangesNothing) {
  ASSERT_TRUE(Register_.AddRecord("Game", "/a/"));
  const std::string before = FileContent(RegisterFile());
  EXPECT_FALSE(Register_.AddRecord("GAME", "/b/"));
  EXPECT_FALSE(Register_.AddRecord("game", "/a/"));
  EXPECT_EQ(FileContent(RegisterFile()), before);
}

TEST_F(GameRegisterTest, DefaultPathStandsForTheGamesFolderBesideTheRegister) {
  PutFile(RegisterFile(), RawRecord("ABC", "default path") + RawRecord("x", "default path "));
  // The folder was made under the recorded spelling; any spelling finds it.
  EXPECT_EQ(Register_.GetPath("abc"), PluginFolder_ / "ABC/");
  EXPECT_EQ(Register_.GetPath("ABC"), PluginFolder_ / "ABC/");
  // Only the exact text stands for it.
  EXPECT_EQ(Register_.GetPath("x"), "default path ");

  ASSERT_TRUE(Register_.AddRecord("New", "default path"));
  EXPECT_EQ(Register_.GetPath("new"), PluginFolder_ / "New/");
}

TEST_F(GameRegisterTest, DefaultPathNeverLeadsOutOfThePluginFolder) {
  for (const char* id : {"..", ".", "a/b", "../up", "a\\b"})
    EXPECT_FALSE(Register_.AddRecord(id, "default path")) << id;
  EXPECT_FALSE(std::filesystem::exists(RegisterFile()));

  // Such records written by someone else name no folder.
  PutFile(RegisterFile(), RawRecord("..", "default path") + RawRecord("a/b", "default path"));
  EXPECT_EQ(Register_.GetPath(".."), "");
  EXPECT_EQ(Register_.GetPath("a/b"), "");
  // They may have their own folder all the same.
  EXPECT_TRUE(Register_.AddRecord("a/b", "/games/ab/"));
  EXPECT_EQ(Register_.GetPath("A/B"), "/games/ab/");
}

TEST_F(GameRegisterTest, AThousandByteFileHoldsOneRecordAndLosesTheRestAtTheNextWrite) {
  PutFile(RegisterFile(), RawRecord("one", "/one/") + std::string(484, 'z'));
  EXPECT_EQ(Register_.GetPath("one"), "/one/");
  EXPECT_EQ(Register_.GetPath(std::string(64, 'z')), "");
  ASSERT_TRUE(Register_.AddRecord("two", "/two/"));
  EXPECT_EQ(FileContent(RegisterFile()), RawRecord("one", "/one/") + RawRecord("two", "/two/"));
}

TEST_F(GameRegisterTest, OfTwoRecordsForOneGameTheFirstIsFoundAndRemoved) {
  PutFile(RegisterFile(),
          RawRecord("dup", "/first/") + RawRecord("other", "/o/") + RawRecord("DUP", "/second/"));
  EXPECT_EQ(Register_.GetPath("dup"), "/first/");
  ASSERT_TRUE(Register_.RemoveRecord("Dup"));
  EXPECT_EQ(FileContent(RegisterFile()), RawRecord("other", "/o/") + RawRecord("DUP", "/second/"));
  EXPECT_EQ(Register_.GetPath("dup"), "/second/");
}

TEST_F(GameRegisterTest, RemovingTheOnlyRecordLeavesAnEmptyFile) {
  ASSERT_TRUE(Register_.AddRecord("only", "/only/"));
  ASSERT_TRUE(Register_.RemoveRecord("ONLY"));
  EXPECT_EQ(FileContent(RegisterFile()), "");
  EXPECT_EQ(Register_.GetPath("only"), "");
  EXPECT_FALSE(Register_.RemoveRecord("only"));
  EXPECT_FALSE(Register_.RemoveRecord(""));
}

TEST_F(GameRegisterTest, DeletedRecordsAreNeverFoundAndDroppedAtTheNextWrite) {
  std::string deleted = RawRecord("gone", "default path");
  deleted[0] = '\0';
  PutFile(RegisterFile(), deleted + RawRecord("kept", "/kept/"));
  EXPECT_EQ(Register_.GetPath("gone"), "");
  // An empty identifier must not match the deleted record's empty text: it
  // would answer the plug-in folder itself.
  EXPECT_EQ(Register_.GetPath(""), "");
  ASSERT_TRUE(Register_.AddRecord("new", "/new/"));
  EXPECT_EQ(FileContent(RegisterFile()), RawRecord("kept", "/kept/") + RawRecord("new", "/new/"));
}

TEST_F(GameRegisterTest, TextsThatDoNotFitTheirFieldAreRefusedNotCut) {
  const std::string id64(64, 'i');
  const std::string folder452 = "/" + std::string(450, 'f') + "/";
  ASSERT_TRUE(Register_.AddRecord(id64, folder452));
  // Both fields are full: no NUL ends them, and they read back whole (the
  // folder beyond 324 characters too).
  EXPECT_EQ(FileContent(RegisterFile()), id64 + folder452);
  EXPECT_EQ(Register_.GetPath(id64), folder452);

  const std::string before = FileContent(RegisterFile());
  EXPECT_FALSE(Register_.AddRecord(id64 + "x", "/x/"));
  EXPECT_FALSE(Register_.AddRecord("x", folder452 + "x"));
  EXPECT_FALSE(Register_.AddRecord("", "/x/"));
  EXPECT_FALSE(Register_.AddRecord("x", ""));
  EXPECT_FALSE(Register_.AddRecord(std::string("x\0y", 3), "/x/"));
  EXPECT_FALSE(Register_.AddRecord("x", std::string("/x\0/", 4)));
  EXPECT_EQ(FileContent(RegisterFile()), before);
  // A longer identifier is another game than its first 64 characters.
  EXPECT_EQ(Register_.GetPath(id64 + "x"), "");
}

TEST_F(GameRegisterTest, GarbageFilesOfAnyLengthKeepTheirWholeRecords) {
  std::mt19937 random(3);
  for (const std::size_t length : {1u, 515u, 516u, 517u, 5160u, 7777u}) {
    std::string garbage(length, '\0');
    for (char& c : garbage) c = static_cast<char>(random());
    PutFile(RegisterFile(), garbage);
    EXPECT_EQ(Register_.GetPath("{game}"), "");
    ASSERT_TRUE(Register_.AddRecord("{game}", "/g/")) << length;

    std::string expected;
    for (std::size_t at = 0; at + 516 <= length; at += 516)
      if (garbage[at] != '\0') expected += garbage.substr(at, 516);
    EXPECT_EQ(FileContent(RegisterFile()), expected + RawRecord("{game}", "/g/")) << length;
    EXPECT_EQ(Register_.GetPath("{GAME}"), "/g/");
  }
}

TEST_F(GameRegisterTest, AFileTooLargeIsNeitherReadNorReplaced) {
  PutFile(RegisterFile(), RawRecord("a", "/a/"));
  std::filesystem::resize_file(RegisterFile(), TGameRegister::kFileLimit + 516);
  EXPECT_EQ(Register_.GetPath("a"), "");
  EXPECT_FALSE(Register_.AddRecord("b", "/b/"));
  EXPECT_FALSE(Register_.RemoveRecord("a"));
  EXPECT_EQ(std::filesystem::file_size(RegisterFile()), TGameRegister::kFileLimit + 516);
}

TEST_F(GameRegisterTest, AFailedWriteKeepsThePreviousRegisterWhole) {
  test::TFaultyFileSystem files;
  TGameRegister faulty(PluginFolder_.Path(), files);
  ASSERT_TRUE(faulty.AddRecord("a", "/a/"));
  ASSERT_TRUE(faulty.AddRecord("b", "/b/"));
  const std::string before = FileContent(RegisterFile());

  files.DiskRoom = 300;  // the disk fills up inside the first record
  EXPECT_FALSE(faulty.AddRecord("c", "/c/"));
  EXPECT_FALSE(faulty.RemoveRecord("a"));
  files.DiskRoom.reset();
  files.FailRename = true;
  EXPECT_FALSE(faulty.AddRecord("c", "/c/"));
  EXPECT_FALSE(faulty.RemoveRecord("b"));

  EXPECT_EQ(FileContent(RegisterFile()), before);
  EXPECT_FALSE(std::filesystem::exists(PendingFileName(RegisterFile())));
  EXPECT_EQ(faulty.GetPath("a"), "/a/");
  EXPECT_EQ(faulty.GetPath("c"), "");
}

TEST_F(GameRegisterTest, ALinkLeftInThePendingFilesPlaceIsNotWrittenThrough) {
  PutFile(PluginFolder_ / "elsewhere", "keep");
  std::error_code unsupported;
  std::filesystem::create_symlink(PluginFolder_ / "elsewhere", PendingFileName(RegisterFile()), unsupported);
  // MinGW's standard library makes no links on Windows.
  if (unsupported == std::errc::function_not_supported) GTEST_SKIP() << "no symbolic links here";
  ASSERT_FALSE(unsupported) << unsupported.message();
  ASSERT_TRUE(Register_.AddRecord("a", "/a/"));
  EXPECT_EQ(FileContent(PluginFolder_ / "elsewhere"), "keep");
  EXPECT_EQ(FileContent(RegisterFile()), RawRecord("a", "/a/"));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(PendingFileName(RegisterFile()))));
}

TEST_F(GameRegisterTest, ARegisterMutexHeldByAnotherThreadFailsEveryOperation) {
  ASSERT_TRUE(Register_.AddRecord("a", "/a/"));
  TNamedMutex mutex(RegisterMutexName());
  std::thread holder_thread([&] {
    ASSERT_TRUE(mutex.Wait(0));
    EXPECT_EQ(Register_.GetPath("a"), "/a/");  // nested use in the owning thread
    std::thread other([&] {
      EXPECT_EQ(Register_.GetPath("a"), "");
      EXPECT_FALSE(Register_.AddRecord("b", "/b/"));
      EXPECT_FALSE(Register_.RemoveRecord("a"));
    });
    other.join();
    mutex.Release();
  });
  holder_thread.join();
  EXPECT_EQ(FileContent(RegisterFile()), RawRecord("a", "/a/"));
  EXPECT_TRUE(Register_.RemoveRecord("a"));
}

TEST_F(GameRegisterTest, WithoutAUsableObjectFolderEveryOperationFails) {
  if (const char* reason = test::NoNamedObjectFiles()) GTEST_SKIP() << reason;
  ASSERT_TRUE(Register_.AddRecord("a", "/a/"));
  std::filesystem::create_directory_symlink(Objects_.Path(), PluginFolder_ / "link");
  SetNamedObjectFolderForTesting(PluginFolder_ / "link");
  TGameRegister unlocked(PluginFolder_.Path());
  EXPECT_EQ(unlocked.GetPath("a"), "");
  EXPECT_FALSE(unlocked.AddRecord("b", "/b/"));
  EXPECT_FALSE(unlocked.RemoveRecord("a"));
  EXPECT_EQ(FileContent(RegisterFile()), RawRecord("a", "/a/"));
}

}  // namespace
}  // namespace qel
