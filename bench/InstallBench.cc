// The whole install path, end to end: THttpDownloader from Start to dsDone
// for an init pack and an update pack served by nginx on loopback (transfer,
// signature check, extraction, flushing), against `curl -s URL | tar -xzf -`
// of the same two trees (default gzip) in the same run. Prints the ratio, the
// growth of the process's own (anonymous) memory, and the longest turn of
// the plug-in thread's loop. The longest gap between a timer's ticks on the
// loop is printed beside that of an idle loop while curl and tar run: on a
// virtual machine the host alone stops a loop for milliseconds now and then.
// Measures only; nothing is asserted.
//
//   install_bench [--init_mb=150] [--update_mb=50] [--files=3000] [--iterations=3]
//                 [benchmark flags]
// The downloader is polled at every turn of the loop (the plug-in polls every
// 50 ms), so that the figure is the install's own. The page cache is not
// dropped between runs (that needs root): both sides read warm packs from
// nginx and write into a fresh folder.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>

#include "BenchSupport.h"
#include "BenchTree.h"
#include "LoopProbe.h"
#include "NginxBench.h"
#include "net/HttpDownloader.h"
#include "platform/Loop.h"

namespace qel::bench {
namespace fs = std::filesystem;
namespace {

using TClock = std::chrono::steady_clock;

constexpr int kPatienceMs = 10 * 60 * 1000;
constexpr char kGuid[] = "bench";

struct TSettings {
  int64_t InitBytes = 150LL * 1000 * 1000;
  int64_t UpdateBytes = 50LL * 1000 * 1000;
  int Files = 3000;
  int Iterations = 3;
};

struct TResults {
  double OursSeconds = 0;
  double TheirsSeconds = 0;
  double AnonymousMiB = 0;
  double LongestTurnMs = 0;
  std::string LongestTurnPhase;
  double LongestGapMs = 0;
  std::string LongestGapPhase;
  double IdleLoopGapMs = 0;
};

struct TWorkspace {
  fs::path Root;
  std::string InitPackUrl;
  std::string UpdatePackUrl;
  std::string InitArchiveUrl;
  std::string UpdateArchiveUrl;
  int64_t PackBytes = 0;
  int64_t TreeBytes = 0;
};

TWorkspace g_work;
TResults g_results;

// The two trees, packed and archived into nginx's folder.
void Prepare(const TSettings& settings, test::TNginxServer& nginx) {
  std::random_device seed;
  g_work.Root = fs::temp_directory_path() / ("install-bench-" + std::to_string(seed()));
  const fs::path served = nginx.Root();
  const std::string create =
      std::string(QEL_QELPACK_PATH) + " create --key " + Quote(QEL_DEV_PRIVATE_KEY) + " --guid " + kGuid + " ";
  const int update_files = std::max(1, static_cast<int>(settings.Files * settings.UpdateBytes /
                                                        std::max<int64_t>(1, settings.InitBytes + settings.UpdateBytes)));
  for (const auto& [name, bytes, files] : {std::tuple{"init", settings.InitBytes, settings.Files - update_files},
                                           std::tuple{"update", settings.UpdateBytes, update_files}}) {
    const fs::path tree = g_work.Root / name;
    g_work.TreeBytes += MakeBenchTree(tree, bytes, files, std::string(name) == "init" ? 1 : 2);
    Run(create + Quote(tree) + " " + Quote(served / (std::string(name) + ".pack")) + " >/dev/null");
    Run("tar -czf " + Quote(served / (std::string(name) + ".tar.gz")) + " -C " + Quote(tree) + " .");
    g_work.PackBytes += static_cast<int64_t>(fs::file_size(served / (std::string(name) + ".pack")));
  }
  g_work.InitPackUrl = nginx.Url("init.pack");
  g_work.UpdatePackUrl = nginx.Url("update.pack");
  g_work.InitArchiveUrl = nginx.Url("init.tar.gz");
  g_work.UpdateArchiveUrl = nginx.Url("update.tar.gz");
}

const char* PhaseName(TDownloadState state) {
  switch (state) {
    case dsInitDownloading:
      return "init download";
    case dsInitExtracting:
      return "init extraction";
    case dsUpdateDownloading:
      return "update download";
    case dsUpdateExtracting:
      return "update extraction";
    case dsNone:
    case dsDone:
    case dsError:
      break;
  }
  return "start or end";
}

double SecondsSince(TClock::time_point start) { return std::chrono::duration<double>(TClock::now() - start).count(); }

void InstallWithCurlAndTar(benchmark::State& state) {
  // An idle loop beside the tools: how long this machine alone keeps a loop
  // waiting while the same work runs.
  TLoopProbe probe;
  for (auto _ : state) {
    const fs::path out = FreshOutputFolder(g_work.Root);
    const std::string into = " | tar -xzf - -C " + Quote(out);
    std::atomic<bool> finished = false;
    std::exception_ptr failure;
    probe.Start();
    const TClock::time_point start = TClock::now();
    std::thread tools([&] {
      try {
        Run("curl -s --noproxy '*' '" + g_work.InitArchiveUrl + "'" + into);
        Run("curl -s --noproxy '*' '" + g_work.UpdateArchiveUrl + "'" + into);
      } catch (...) {
        failure = std::current_exception();
      }
      finished = true;
    });
    RunLoopUntil([&] { return finished.load(); }, kPatienceMs);
    tools.join();
    const double seconds = SecondsSince(start);
    probe.Stop();
    if (failure) {
      state.SkipWithError("curl | tar failed");
      return;
    }
    state.SetIterationTime(seconds);
    g_results.TheirsSeconds += seconds / static_cast<double>(state.max_iterations);
    g_results.IdleLoopGapMs = std::max(g_results.IdleLoopGapMs, probe.LongestGapMs());
  }
  state.SetBytesProcessed(state.iterations() * g_work.TreeBytes);
}

void InstallWithHttpDownloader(benchmark::State& state) {
  TLoopProbe probe;
  for (auto _ : state) {
    const fs::path out = FreshOutputFolder(g_work.Root);
    auto downloader = std::make_unique<THttpDownloader>();
    probe.Phase = [&downloader] { return std::string(PhaseName(downloader->State())); };
    probe.Start();
    const TClock::time_point start = TClock::now();
    downloader->InitUrl = g_work.InitPackUrl;
    downloader->InitTargetVersion = 1;
    downloader->UpdateUrl = g_work.UpdatePackUrl;
    downloader->UpdateTargetVersion = 1;
    downloader->GameGuid = kGuid;
    downloader->SetDataDir(out.string() + "/");
    downloader->StartNext();
    RunLoopUntil(
        [&] {
          downloader->Poll();
          return downloader->State() == dsDone || downloader->State() == dsError;
        },
        kPatienceMs);
    const double seconds = SecondsSince(start);
    probe.Stop();
    const bool done = downloader->State() == dsDone;
    downloader.reset();
    if (!done) {
      state.SkipWithError("the install failed (is the development key built in?)");
      return;
    }
    state.SetIterationTime(seconds);
    g_results.OursSeconds += seconds / static_cast<double>(state.max_iterations);
    g_results.AnonymousMiB = std::max(g_results.AnonymousMiB, probe.AnonymousGrowthMiB());
    if (probe.LongestTurnMs() > g_results.LongestTurnMs) {
      g_results.LongestTurnMs = probe.LongestTurnMs();
      g_results.LongestTurnPhase = probe.LongestTurnPhase();
    }
    if (probe.LongestGapMs() > g_results.LongestGapMs) {
      g_results.LongestGapMs = probe.LongestGapMs();
      g_results.LongestGapPhase = probe.LongestGapPhase();
    }
  }
  state.SetBytesProcessed(state.iterations() * g_work.TreeBytes);
  state.counters["anon_MiB"] = g_results.AnonymousMiB;
  state.counters["turn_ms"] = g_results.LongestTurnMs;
}

void PrintSummary() {
  std::printf(
      "trees %.1f MB in packs of %.1f MB, from nginx on 127.0.0.1\n"
      "THttpDownloader %.2f s, curl | tar -xzf - %.2f s, ratio ours/theirs %.2f (target <= 0.6)\n"
      "growth of the process's own memory %.1f MiB (target <= 64 MiB + a block buffer per worker)\n"
      "longest turn of the loop %.2f ms, in the %s (target < 5 ms)\n"
      "longest gap between its 1 ms ticks %.2f ms, in the %s; an idle loop's beside curl | tar %.2f ms\n",
      static_cast<double>(g_work.TreeBytes) / 1e6, static_cast<double>(g_work.PackBytes) / 1e6,
      g_results.OursSeconds, g_results.TheirsSeconds, g_results.OursSeconds / g_results.TheirsSeconds,
      g_results.AnonymousMiB, g_results.LongestTurnMs, g_results.LongestTurnPhase.c_str(), g_results.LongestGapMs,
      g_results.LongestGapPhase.c_str(), g_results.IdleLoopGapMs);
}

TSettings ParseSettings(int& argc, char** argv) {
  TSettings settings;
  TakeOwnFlags(argc, argv, [&](const std::string& arg) {
    int64_t value = 0;
    if (FlagValue(arg, "--init_mb", value)) {
      settings.InitBytes = value * 1000 * 1000;
    } else if (FlagValue(arg, "--update_mb", value)) {
      settings.UpdateBytes = value * 1000 * 1000;
    } else if (FlagValue(arg, "--files", value)) {
      settings.Files = static_cast<int>(std::max<int64_t>(2, value));
    } else if (FlagValue(arg, "--iterations", value)) {
      settings.Iterations = static_cast<int>(std::max<int64_t>(1, value));
    } else {
      return false;
    }
    return true;
  });
  return settings;
}

}  // namespace
}  // namespace qel::bench

int main(int argc, char** argv) {
  using namespace qel::bench;
  const TSettings settings = ParseSettings(argc, argv);
  const int result = RunAgainstNginx("install_bench", argc, argv, [&](qel::test::TNginxServer& nginx) {
    Prepare(settings, nginx);
    WarmUpTransfers(nginx);
    for (auto* run : {benchmark::RegisterBenchmark("install/curl|tar", InstallWithCurlAndTar),
                      benchmark::RegisterBenchmark("install/THttpDownloader", InstallWithHttpDownloader)})
      run->UseManualTime()->Iterations(settings.Iterations)->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    PrintSummary();
  });
  if (!g_work.Root.empty()) fs::remove_all(g_work.Root);
  return result;
}
