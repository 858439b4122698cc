#include "platform/GameProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "platform/Error.h"
#include "platform/Loop.h"
#include "platform/ProcessEnvironment.h"

namespace qel {
namespace {

namespace fs = std::filesystem;

constexpr int kWaitMs = 10000;
constexpr const char* kVariable = "QEL_GAME_PROCESS_TEST_VALUE";
// Well above what the test process has open, and above what the script's own
// commands open.
constexpr int kLeakedDescriptor = 100;

// What the started program reports about itself, one item a line.
struct TReport {
  std::string ArgumentCount;
  std::string FirstArgument;
  std::string WorkingFolder;
  std::string Variable;
  std::string EnvironmentParameters;
  std::set<int> Descriptors;
  std::string BlockedSignals;
  std::string IgnoredSignals;
};

class GameProcessTest : public testing::Test {
 protected:
  // A game stand-in that writes its report and renames it into place, so a
  // report that exists is complete.
  std::string WriteGame(const std::string& name, fs::perms permissions) {
    const std::string program = Scratch / name;
    test::PutFile(program,
                        "#!/bin/sh\n"
                        "{\n"
                        "  echo \"$#\"\n"
                        "  echo \"$1\"\n"
                        "  pwd\n"
                        "  echo \"$" + std::string(kVariable) + "\"\n"
                        "  echo \"$" + std::string(kGameParametersVariable) + "\"\n"
                        "  grep -E '^Sig(Blk|Ign):' /proc/self/status\n"
                        "  ls /proc/self/fd\n"
                        "} > '" + Report + ".part'\n"
                        "mv '" + Report + ".part' '" + Report + "'\n");
    fs::permissions(program, permissions, fs::perm_options::replace);
    return program;
  }

  TReport WaitForReport() {
    EXPECT_TRUE(RunLoopUntil([&] { return fs::exists(Report); }, kWaitMs));
    std::istringstream lines(test::FileContent(Report));
    TReport report;
    std::getline(lines, report.ArgumentCount);
    std::getline(lines, report.FirstArgument);
    std::getline(lines, report.WorkingFolder);
    std::getline(lines, report.Variable);
    std::getline(lines, report.EnvironmentParameters);
    std::getline(lines, report.BlockedSignals);
    std::getline(lines, report.IgnoredSignals);
    for (int fd; lines >> fd;) report.Descriptors.insert(fd);
    return report;
  }

  test::TTempFolder Scratch;
  const std::string Report = Scratch / "report.txt";
  const std::string WorkFolder = Scratch / "install folder/";

  void SetUp() override { fs::create_directory(WorkFolder); }
};

// Whether the process has ended and its exit status was collected: one that
// only ended stays listed as a zombie.
bool Reaped(uint32_t pid) { return !fs::exists("/proc/" + std::to_string(pid)); }

TEST_F(GameProcessTest, PassesTheParametersAsOneArgumentInTheInstallFolder) {
  const std::string program = WriteGame("game", fs::perms::owner_all);
  WriteEnvironmentVariable(kVariable, "set before the start");
  const std::string parameters = "SrcID=7;Account=a b;Passwd=x\"y';webinfo=one two;";

  const uint32_t pid = StartGameProcess(program, parameters, WorkFolder, "");
  EXPECT_GT(pid, 0u);
  const TReport report = WaitForReport();
  EXPECT_EQ(report.ArgumentCount, "1");
  EXPECT_EQ(report.FirstArgument, parameters);
  EXPECT_EQ(report.WorkingFolder + "/", WorkFolder);
  EXPECT_EQ(report.Variable, "set before the start");
}

// What another account of the machine reads of a process's command line and
// environment: "-" for what it may not read.
struct TOutsiderView {
  std::string CommandLine;
  std::string Environment;
};

// Reads both in a child that has become the unprivileged user "nobody".
std::optional<TOutsiderView> ViewAsAnotherUser(uint32_t pid) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return std::nullopt;
  const std::string cmdline = "/proc/" + std::to_string(pid) + "/cmdline";
  const std::string environ_path = "/proc/" + std::to_string(pid) + "/environ";
  const pid_t child = fork();
  if (child == 0) {
    // Only calls that are safe after fork from here on.
    constexpr uid_t kNobody = 65534;
    if (setresgid(kNobody, kNobody, kNobody) != 0 || setresuid(kNobody, kNobody, kNobody) != 0) _exit(2);
    for (const char* path : {cmdline.c_str(), environ_path.c_str()}) {
      char bytes[4096];
      const int fd = open(path, O_RDONLY);
      ssize_t size = fd < 0 ? -1 : read(fd, bytes, sizeof bytes);
      if (size < 0) {
        bytes[0] = '-';
        size = 1;
      }
      for (ssize_t i = 0; i < size; ++i)
        if (bytes[i] == '\0') bytes[i] = ' ';
      bytes[size] = '\n';
      if (write(pipe_fds[1], bytes, static_cast<size_t>(size) + 1) < 0) _exit(3);
    }
    _exit(0);
  }
  close(pipe_fds[1]);
  std::string output;
  char buffer[4096];
  for (ssize_t got; (got = read(pipe_fds[0], buffer, sizeof buffer)) > 0;)
    output.append(buffer, static_cast<size_t>(got));
  close(pipe_fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  std::istringstream lines(output);
  TOutsiderView view;
  std::getline(lines, view.CommandLine);
  std::getline(lines, view.Environment);
  return view;
}

TEST_F(GameProcessTest, ParametersInTheEnvironmentReachTheGameButNoOtherAccount) {
  // The game stays until the test has looked at it.
  const std::string program = WriteGame("game", fs::perms::owner_all);
  test::PutFile(program, test::FileContent(program) + "sleep 30\n");
  // A value the browser itself was started with is never passed on.
  WriteEnvironmentVariable(kGameParametersVariable, "inherited");
  const uint32_t stale = StartGameProcess(program, "SrcID=1;", WorkFolder, "");
  EXPECT_EQ(WaitForReport().EnvironmentParameters, "");
  kill(static_cast<pid_t>(stale), SIGKILL);
  fs::remove(Report);

  const uint32_t pid = StartGameProcess(program, "SrcID=1;Account=a;", WorkFolder, "SrcID=1;Account=a;Passwd=secret;");
  const TReport report = WaitForReport();
  EXPECT_EQ(report.FirstArgument, "SrcID=1;Account=a;");
  EXPECT_EQ(report.EnvironmentParameters, "SrcID=1;Account=a;Passwd=secret;");
  const std::optional<TOutsiderView> outsider = ViewAsAnotherUser(pid);
  kill(static_cast<pid_t>(pid), SIGKILL);
  if (!outsider) GTEST_SKIP() << "becoming another user needs root";
  // The command line is everyone's; the environment is not.
  EXPECT_NE(outsider->CommandLine.find("SrcID=1;Account=a;"), std::string::npos) << outsider->CommandLine;
  EXPECT_EQ(outsider->CommandLine.find("secret"), std::string::npos);
  EXPECT_EQ(outsider->Environment, "-");
}

TEST_F(GameProcessTest, AnEmptyParameterStringGivesNoArgument) {
  const std::string program = WriteGame("game", fs::perms::owner_all);
  StartGameProcess(program, "", WorkFolder, "");
  const TReport report = WaitForReport();
  EXPECT_EQ(report.ArgumentCount, "0");
  EXPECT_EQ(report.FirstArgument, "");
}

TEST_F(GameProcessTest, TheGameGetsNoDescriptorBeyondTheStandardOnes) {
  // Opened without close-on-exec, as a careless library of the browser would.
  const int fd = open(Scratch.Path().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(dup2(fd, kLeakedDescriptor), kLeakedDescriptor);
  close(fd);

  StartGameProcess(WriteGame("game", fs::perms::owner_all), "", WorkFolder, "");
  const TReport report = WaitForReport();
  close(kLeakedDescriptor);
  ASSERT_FALSE(report.Descriptors.empty());
  EXPECT_EQ(report.Descriptors.count(kLeakedDescriptor), 0u);
  // 0 to 2 and the one the listing command opens for itself.
  EXPECT_LE(*report.Descriptors.rbegin(), 3);
}

// The set of the signal mask line in /proc/<pid>/status holds the given signal.
bool MaskHolds(const std::string& line, int signal) {
  const size_t colon = line.find(':');
  if (colon == std::string::npos) return true;
  const unsigned long long mask = std::stoull(line.substr(colon + 1), nullptr, 16);
  return (mask >> (signal - 1)) & 1u;
}

TEST_F(GameProcessTest, TheGameStartsWithDefaultSignals) {
  sigset_t blocked;
  sigset_t before;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGUSR1);
  ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &blocked, &before), 0);
  struct sigaction ignore {};
  struct sigaction previous {};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(sigaction(SIGUSR2, &ignore, &previous), 0);

  StartGameProcess(WriteGame("game", fs::perms::owner_all), "", WorkFolder, "");

  sigaction(SIGUSR2, &previous, nullptr);
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  const TReport report = WaitForReport();
  ASSERT_TRUE(report.BlockedSignals.starts_with("SigBlk:")) << report.BlockedSignals;
  ASSERT_TRUE(report.IgnoredSignals.starts_with("SigIgn:")) << report.IgnoredSignals;
  EXPECT_FALSE(MaskHolds(report.BlockedSignals, SIGUSR1)) << report.BlockedSignals;
  EXPECT_FALSE(MaskHolds(report.IgnoredSignals, SIGUSR2)) << report.IgnoredSignals;
}

TEST_F(GameProcessTest, AProgramWithoutExecutePermissionGetsItAndStarts) {
  const std::string program =
      WriteGame("game", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  StartGameProcess(program, "", WorkFolder, "");
  const fs::perms now = fs::status(program).permissions();
  EXPECT_NE(now & fs::perms::owner_exec, fs::perms::none);
  // The other bits stay as they were.
  EXPECT_NE(now & fs::perms::group_read, fs::perms::none);
  EXPECT_EQ(now & (fs::perms::group_exec | fs::perms::others_all), fs::perms::none);
  EXPECT_EQ(WaitForReport().ArgumentCount, "0");
}

TEST_F(GameProcessTest, AnEndedGameIsReapedByTheLoop) {
  const uint32_t pid = StartGameProcess(WriteGame("game", fs::perms::owner_all), "", WorkFolder, "");
  WaitForReport();
  EXPECT_TRUE(RunLoopUntil([&] { return Reaped(pid); }, kWaitMs)) << "process " << pid;
}

// The message of the failure to start `program`, or nothing when it started.
std::string StartFailure(const std::string& program, const std::string& folder) {
  try {
    StartGameProcess(program, "x", folder, "");
  } catch (const EQelError& error) {
    return error.what();
  }
  return "";
}

TEST_F(GameProcessTest, WhatCannotBeStartedRaisesNamingTheProgram) {
  const std::string missing = Scratch / "no such game";
  EXPECT_NE(StartFailure(missing, WorkFolder).find(missing), std::string::npos);
  EXPECT_NE(StartFailure(missing, WorkFolder).find("No such file"), std::string::npos);

  EXPECT_NE(StartFailure(WorkFolder, WorkFolder).find(WorkFolder), std::string::npos);

  const std::string program = WriteGame("game", fs::perms::owner_all);
  const std::string failure = StartFailure(program, Scratch / "missing folder/");
  EXPECT_NE(failure.find(program), std::string::npos) << failure;

  // Not an executable format and no interpreter line.
  const std::string text = Scratch / "readme";
  test::PutFile(text, "\x7f" "ELF garbage");
  EXPECT_NE(StartFailure(text, WorkFolder).find(text), std::string::npos);
  EXPECT_FALSE(fs::exists(Report));
}

}  // namespace
}  // namespace qel
