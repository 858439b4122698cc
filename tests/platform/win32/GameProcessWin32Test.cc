#include "platform/GameProcess.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>

#include "TempFolder.h"
#include "platform/Error.h"
#include "platform/Loop.h"
#include "platform/PluginFolder.h"
#include "platform/ProcessEnvironment.h"

namespace qel {
namespace {

namespace fs = std::filesystem;

// Wine starts a program slowly on a busy machine.
constexpr int kWaitMs = 30000;

// What the test game (TestGame.cc) reports about itself.
struct TReport {
  std::string CommandLine;
  std::string WorkingFolder;
  std::string Variable;
  std::string EnvironmentParameters;
  std::string WideVariable;
  std::string InheritableHandle;
  std::string Whole;  // for the failure message
};

class GameProcessWin32Test : public testing::Test {
 protected:
  void SetUp() override { fs::create_directory(WorkFolder); }
  void TearDown() override {
    SetEnvironmentVariableA(kGameParametersVariable, nullptr);
    SetEnvironmentVariableA("QEL_GAME_PROCESS_TEST_VALUE", nullptr);
  }

  TReport WaitForReport() {
    EXPECT_TRUE(RunLoopUntil([&] { return fs::exists(Report); }, kWaitMs));
    TReport report;
    report.Whole = test::FileContent(Report);
    std::istringstream lines(report.Whole);
    std::getline(lines, report.CommandLine);
    std::getline(lines, report.WorkingFolder);
    std::getline(lines, report.Variable);
    std::getline(lines, report.EnvironmentParameters);
    std::getline(lines, report.WideVariable);
    std::getline(lines, report.InheritableHandle);
    return report;
  }

  const std::string Game = PluginDir() + "qel_test_game.exe";
  test::TTempFolder Scratch;
  const std::string WorkFolder = Scratch / "install folder\\";
  const std::string Report = WorkFolder + "report.txt";
};

TEST_F(GameProcessWin32Test, TheCommandLineIsTheParameterStringAloneInTheInstallFolder) {
  WriteEnvironmentVariable("QEL_GAME_PROCESS_TEST_VALUE", "set before the start");
  const std::string parameters = "SrcID=7;Account=a b;Passwd=x\"y';webinfo=one two;";
  const uint32_t pid = StartGameProcess(Game, parameters, WorkFolder, "");
  EXPECT_GT(pid, 0u);
  const TReport report = WaitForReport();
  EXPECT_EQ(report.CommandLine, parameters);
  std::string folder = WorkFolder;
  std::replace(folder.begin(), folder.end(), '/', '\\');
  EXPECT_EQ(report.WorkingFolder + "\\", folder);
  EXPECT_EQ(report.Variable, "set before the start");
  EXPECT_EQ(report.EnvironmentParameters, "<absent>");
}

TEST_F(GameProcessWin32Test, AnEmptyParameterStringGivesNoParameters) {
  StartGameProcess(Game, "", WorkFolder, "");
  // Given an empty command line, the system may put the program's own name
  // there, as Wine does.
  const std::string command_line = WaitForReport().CommandLine;
  EXPECT_TRUE(command_line.empty() || command_line == '"' + Game + '"') << command_line;
}

TEST_F(GameProcessWin32Test, ParametersGoIntoTheEnvironmentAndOursAreNeverPassedOn) {
  WriteEnvironmentVariable("qel_game_parameters", "inherited");
  StartGameProcess(Game, "SrcID=1;", WorkFolder, "");
  EXPECT_EQ(WaitForReport().EnvironmentParameters, "<absent>");
  fs::remove(Report);

  StartGameProcess(Game, "SrcID=1;Account=a;", WorkFolder, "SrcID=1;Account=a;Passwd=secret;");
  const TReport report = WaitForReport();
  EXPECT_EQ(report.CommandLine, "SrcID=1;Account=a;");
  EXPECT_EQ(report.EnvironmentParameters, "SrcID=1;Account=a;Passwd=secret;");
  // Ours is untouched.
  EXPECT_EQ(ReadEnvironmentVariable(kGameParametersVariable), "inherited");
}

TEST_F(GameProcessWin32Test, VariablesOutsideTheAnsiCodePageReachTheGameUnchanged) {
  ASSERT_TRUE(SetEnvironmentVariableW(L"QEL_GAME_PROCESS_TEST_WIDE", L"\x4E2D\x6587 \x0416"));
  StartGameProcess(Game, "", WorkFolder, "");
  const TReport report = WaitForReport();
  SetEnvironmentVariableW(L"QEL_GAME_PROCESS_TEST_WIDE", nullptr);
  EXPECT_EQ(report.WideVariable, "4e2d 6587 0020 0416 ") << report.Whole;
}

TEST_F(GameProcessWin32Test, TheGameInheritsNoHandle) {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  const HANDLE event = CreateEventA(&inheritable, TRUE, TRUE, nullptr);
  ASSERT_NE(event, nullptr);
  WriteEnvironmentVariable("QEL_GAME_PROCESS_TEST_HANDLE", std::to_string(reinterpret_cast<uintptr_t>(event)));
  StartGameProcess(Game, "", WorkFolder, "");
  const TReport report = WaitForReport();
  SetEnvironmentVariableA("QEL_GAME_PROCESS_TEST_HANDLE", nullptr);
  CloseHandle(event);
  EXPECT_EQ(report.InheritableHandle, "not held");
}

// A process that has ended stays known to the system while anyone holds a
// handle to it.
bool ProcessIsGone(uint32_t pid) {
  const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (process == nullptr) return true;
  CloseHandle(process);
  return false;
}

TEST_F(GameProcessWin32Test, AnEndedGameLeavesNothingBehind) {
  const uint32_t pid = StartGameProcess(Game, "", WorkFolder, "");
  WaitForReport();
  EXPECT_TRUE(RunLoopUntil([&] { return ProcessIsGone(pid); }, kWaitMs)) << "process " << pid;
}

std::string StartFailure(const std::string& program, const std::string& folder) {
  try {
    StartGameProcess(program, "x", folder, "");
  } catch (const EQelError& error) {
    return error.what();
  }
  return "";
}

TEST_F(GameProcessWin32Test, WhatCannotBeStartedRaisesNamingTheProgramAndTheReason) {
  const std::string missing = Scratch / "no such game.exe";
  const std::string failure = StartFailure(missing, WorkFolder);
  EXPECT_NE(failure.find(missing), std::string::npos) << failure;
  // The system's own words follow the name.
  EXPECT_GT(failure.size(), failure.find(missing) + missing.size() + 2) << failure;

  const std::string in_missing_folder = StartFailure(Game, Scratch / "missing folder\\");
  EXPECT_NE(in_missing_folder.find(Game), std::string::npos) << in_missing_folder;

  const std::string text = Scratch / "readme.exe";
  test::PutFile(text, "not a program");
  EXPECT_NE(StartFailure(text, WorkFolder).find(text), std::string::npos);
  EXPECT_FALSE(fs::exists(Report));
}

}  // namespace
}  // namespace qel
