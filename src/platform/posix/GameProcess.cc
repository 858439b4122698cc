#include "platform/GameProcess.h"

#include <glib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <string_view>
#include <vector>

#include "platform/Error.h"

extern char** environ;

namespace qel {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error) {
  throw EQelError(what + " " + path + ": " + std::strerror(error));
}

// Packs carry no permissions, so an extracted program may not be executable yet.
void MakeRunnable(const std::string& program) {
  struct stat info {};
  if (stat(program.c_str(), &info) != 0) Fail("cannot start", program, errno);
  if (S_ISDIR(info.st_mode)) Fail("cannot start", program, EISDIR);
  if (!S_ISREG(info.st_mode)) Fail("cannot start", program, EACCES);
  if ((info.st_mode & S_IXUSR) != 0) return;
  if (chmod(program.c_str(), (info.st_mode & 07777) | S_IXUSR) != 0)
    Fail("cannot make executable", program, errno);
}

class TSpawnActions {
 public:
  TSpawnActions() { posix_spawn_file_actions_init(&Actions_); }
  ~TSpawnActions() { posix_spawn_file_actions_destroy(&Actions_); }
  TSpawnActions(const TSpawnActions&) = delete;
  TSpawnActions& operator=(const TSpawnActions&) = delete;
  posix_spawn_file_actions_t* Get() { return &Actions_; }

 private:
  posix_spawn_file_actions_t Actions_;
};

class TSpawnAttributes {
 public:
  TSpawnAttributes() { posix_spawnattr_init(&Attributes_); }
  ~TSpawnAttributes() { posix_spawnattr_destroy(&Attributes_); }
  TSpawnAttributes(const TSpawnAttributes&) = delete;
  TSpawnAttributes& operator=(const TSpawnAttributes&) = delete;
  posix_spawnattr_t* Get() { return &Attributes_; }

 private:
  posix_spawnattr_t Attributes_;
};

void Check(int result, const std::string& program) {
  if (result != 0) Fail("cannot start", program, result);
}

// The loop's watches of started games, by process id. Their callback is
// this library's code: when the library is unloaded while games still run,
// the watches go with it (the games are then reaped by whoever reaps the
// browser's orphans), so that no later exit calls into unloaded code.
class TChildWatches {
 public:
  ~TChildWatches() {
    for (const auto& [pid, source] : Sources_) g_source_remove(source);
  }
  void Add(GPid pid) { Sources_[pid] = g_child_watch_add(pid, &TChildWatches::Reap, this); }

 private:
  static void Reap(GPid pid, gint /*wait_status*/, gpointer self) {
    static_cast<TChildWatches*>(self)->Sources_.erase(pid);
    g_spawn_close_pid(pid);
  }
  std::map<GPid, guint> Sources_;
};

TChildWatches g_child_watches;

}  // namespace

uint32_t StartGameProcess(const std::string& program, const std::string& parameters,
                          const std::string& working_folder, const std::string& environment_parameters) {
  MakeRunnable(program);

  TSpawnActions actions;
  Check(posix_spawn_file_actions_addchdir_np(actions.Get(), working_folder.c_str()), program);
  // Lock files, sockets and pipes of the browser stay out of the game.
  Check(posix_spawn_file_actions_addclosefrom_np(actions.Get(), STDERR_FILENO + 1), program);

  // The plug-in thread's blocked and ignored signals are the browser's
  // business; the game starts with the defaults, as a new process would.
  TSpawnAttributes attributes;
  sigset_t none;
  sigset_t all;
  sigemptyset(&none);
  sigfillset(&all);
  Check(posix_spawnattr_setsigmask(attributes.Get(), &none), program);
  Check(posix_spawnattr_setsigdefault(attributes.Get(), &all), program);
  Check(posix_spawnattr_setflags(attributes.Get(), POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF),
        program);

  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  if (!parameters.empty()) argv.push_back(const_cast<char*>(parameters.c_str()));
  argv.push_back(nullptr);

  // /proc/<pid>/environ is readable by the user alone, unlike the command line.
  const std::string prefix = std::string(kGameParametersVariable) + "=";
  const std::string variable = prefix + environment_parameters;
  std::vector<char*> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::string_view(*entry).starts_with(prefix)) continue;
    environment.push_back(*entry);
  }
  if (!environment_parameters.empty()) environment.push_back(const_cast<char*>(variable.c_str()));
  environment.push_back(nullptr);

  pid_t pid = 0;
  Check(posix_spawn(&pid, program.c_str(), actions.Get(), attributes.Get(), argv.data(), environment.data()),
        program);
  // Nobody waits for the game; the loop collects its exit status when it ends.
  g_child_watches.Add(pid);
  return static_cast<uint32_t>(pid);
}

}  // namespace qel
