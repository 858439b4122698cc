// Extraction of a signed pack against `tar -xzf` of the same tree (default
// gzip), in one run, for a pack of 4 MiB blocks and one of 256 KiB blocks:
// ours through the library (TExtractThread on the mapped pack, without and
// with flushing to the disk) and through `qelpack extract`, the ratios of
// their times to tar's, and peak memory. Measures only; nothing is asserted.
//
//   pack_extract_bench [--pack_mb=200] [--files=3000] [--iterations=3] [--keep]
//                      [benchmark flags]
// The tree, the packs and the archive live in a temporary folder, removed at
// the end unless --keep is given. Packs are signed with the development key,
// which `qelpack extract` checks against the key built into the library.
// Every timed run writes into a folder of its own and starts after `sync`,
// so earlier runs' writeback is not billed to it; tar and ours flush nothing
// unless stated. On ext4, run it some minutes after any large deletion on the
// same file system (including this bench's own clean-up): until then the
// inode allocator skips the recently deleted inodes one by one, which adds
// seconds of kernel time to every writer of many files, tar and ours alike.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "BenchTree.h"
#include "pack/ExtractThread.h"
#include "pack/PackFormat.h"
#include "platform/MappedFile.h"

namespace qel::bench {
namespace fs = std::filesystem;
namespace {

constexpr double kMiB = 1024.0 * 1024.0;

struct TSettings {
  int64_t PackBytes = 200LL * 1000 * 1000;
  int Files = 3000;
  int Iterations = 3;
  bool Keep = false;
};

struct TPackUnderTest {
  std::string Name;
  int32_t MaxBlockSize;
  fs::path Path;
};

struct TWorkspace {
  fs::path Root;
  fs::path Tree;
  fs::path Archive;
  std::vector<TPackUnderTest> Packs;
  int64_t TreeBytes = 0;
};

// Mean seconds and peak MiB per measured way, e.g. "4 MiB blocks, library".
struct TResult {
  double Seconds = 0;
  double PeakMiB = 0;
};

TWorkspace g_work;
std::map<std::string, TResult> g_results;

void Prepare(const TSettings& settings) {
  std::random_device seed;
  g_work.Root = fs::temp_directory_path() / ("qelpack-bench-" + std::to_string(seed()));
  g_work.Tree = g_work.Root / "tree";
  g_work.Archive = g_work.Root / "tree.tar.gz";
  fs::create_directories(g_work.Tree);
  g_work.TreeBytes = MakeBenchTree(g_work.Tree, settings.PackBytes, settings.Files, 20240611);

  const std::string create = std::string(QEL_QELPACK_PATH) + " create --key " +
                             Quote(QEL_DEV_PRIVATE_KEY) + " --guid bench ";
  g_work.Packs = {{"4 MiB blocks", 4 * 1024 * 1024, g_work.Root / "blocks4m.pack"},
                  {"256 KiB blocks", 256 * 1024, g_work.Root / "blocks256k.pack"}};
  for (const TPackUnderTest& pack : g_work.Packs)
    Run(create + "--max-block " + std::to_string(pack.MaxBlockSize) + " " + Quote(g_work.Tree) +
        " " + Quote(pack.Path) + " >/dev/null");
  Run("tar -czf " + Quote(g_work.Archive) + " -C " + Quote(g_work.Tree) + " .");
}

// In a virtual machine a page the guest never touched costs a fault in the
// host the first time it is written, and the page cache of each run's output
// takes new pages: whichever run came later paid seconds for them. Memory
// touched and given back here is what the next run's page cache gets.
double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Record(benchmark::State& state, const std::string& key, double seconds, double peak_mib) {
  state.SetIterationTime(seconds);
  TResult& result = g_results[key];
  result.Seconds += seconds / static_cast<double>(state.max_iterations);
  result.PeakMiB = std::max(result.PeakMiB, peak_mib);
}

// In the process: the pack mapped, as the plug-in's downloader hands it over.
void ExtractThroughLibrary(benchmark::State& state, const TPackUnderTest& pack, bool flush) {
  const std::string key = pack.Name + (flush ? ", library, flushed" : ", library");
  TPeakMemory memory;
  for (auto _ : state) {
    const fs::path out = FreshOutputFolder(g_work.Root);
    memory.Start();
    const auto start = std::chrono::steady_clock::now();
    bool succeeded = false;
    {
      const auto mapped = TMappedFile::Open(pack.Path);
      TExtractOptions options;
      options.FlushWritten = flush;
      TExtractThread thread(out.string() + "/", mapped->Bytes(), "bench", std::move(options));
      while (!thread.WaitFor(1000)) {
      }
      succeeded = thread.Succeeded();
    }
    const double seconds = SecondsSince(start);
    if (!succeeded) {
      state.SkipWithError("extraction failed (is the development key built in?)");
      return;
    }
    Record(state, key, seconds, memory.GrowthMiB());
  }
  state.SetBytesProcessed(state.iterations() * g_work.TreeBytes);
  state.counters["peak_MiB"] = g_results[key].PeakMiB;
}

// A command's time, and its peak resident memory through GNU time when
// that is installed.
void ExtractThroughCommand(benchmark::State& state, const std::string& key,
                           const std::string& command) {
  const fs::path peak_file = g_work.Root / "peak";
  const bool with_time = fs::exists("/usr/bin/time");
  for (auto _ : state) {
    const fs::path out = FreshOutputFolder(g_work.Root);
    const std::string timed =
        (with_time ? "/usr/bin/time -f %M -o " + Quote(peak_file) + " " : std::string()) +
        command + Quote(out) + " >/dev/null";
    const auto start = std::chrono::steady_clock::now();
    if (std::system(timed.c_str()) != 0) {
      state.SkipWithError(("failed: " + timed).c_str());
      return;
    }
    const double seconds = SecondsSince(start);
    double peak_kib = 0;
    if (with_time) std::ifstream(peak_file) >> peak_kib;
    Record(state, key, seconds, peak_kib / 1024);
  }
  state.SetBytesProcessed(state.iterations() * g_work.TreeBytes);
  state.counters["peak_MiB"] = g_results[key].PeakMiB;
}

void PrintSummary() {
  const double tree_mb = static_cast<double>(g_work.TreeBytes) / 1e6;
  const TResult& tar = g_results["tar -xzf"];
  std::printf("\ntree %.1f MB in %zu entries; tar.gz %.1f MiB; tar -xzf %.2f s (%.1f MB/s), "
              "peak %.1f MiB\n",
              tree_mb, static_cast<size_t>(std::distance(fs::recursive_directory_iterator(g_work.Tree),
                                                           fs::recursive_directory_iterator())),
              static_cast<double>(fs::file_size(g_work.Archive)) / kMiB, tar.Seconds,
              tree_mb / tar.Seconds, tar.PeakMiB);
  for (const TPackUnderTest& pack : g_work.Packs) {
    const TResult& library = g_results[pack.Name + ", library"];
    const TResult& flushed = g_results[pack.Name + ", library, flushed"];
    const TResult& tool = g_results[pack.Name + ", qelpack extract"];
    std::printf(
        "%s (pack %.1f MiB):\n"
        "  library          %.2f s (%.1f MB/s), ours/tar %.2f, peak %.1f MiB (the mapped pack's "
        "pages included; %.1f MiB beyond them)\n"
        "  library, flushed %.2f s, ours/tar %.2f, flushing costs %.2f s (x%.2f)\n"
        "  qelpack extract  %.2f s, ours/tar %.2f, peak %.1f MiB\n",
        pack.Name.c_str(), static_cast<double>(fs::file_size(pack.Path)) / kMiB, library.Seconds,
        tree_mb / library.Seconds, library.Seconds / tar.Seconds, library.PeakMiB,
        library.PeakMiB - static_cast<double>(fs::file_size(pack.Path)) / kMiB,
        flushed.Seconds, flushed.Seconds / tar.Seconds, flushed.Seconds - library.Seconds,
        flushed.Seconds / library.Seconds, tool.Seconds, tool.Seconds / tar.Seconds,
        tool.PeakMiB);
  }
}

TSettings ParseSettings(int& argc, char** argv) {
  TSettings settings;
  TakeOwnFlags(argc, argv, [&](const std::string& arg) {
    int64_t value = 0;
    if (FlagValue(arg, "--pack_mb", value)) {
      settings.PackBytes = value * 1000 * 1000;
    } else if (FlagValue(arg, "--files", value)) {
      settings.Files = static_cast<int>(value);
    } else if (FlagValue(arg, "--iterations", value)) {
      settings.Iterations = static_cast<int>(std::max<int64_t>(1, value));
    } else if (arg == "--keep") {
      settings.Keep = true;
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
  benchmark::Initialize(&argc, argv);
  int result = 0;
  try {
    Prepare(settings);
    // tar first: later runs find the file system fuller, which favours none of ours.
    std::vector<benchmark::internal::Benchmark*> runs = {
        benchmark::RegisterBenchmark("extract/tar_xzf", [](benchmark::State& state) {
          ExtractThroughCommand(state, "tar -xzf", "tar -xzf " + Quote(g_work.Archive) + " -C ");
        })};
    for (const TPackUnderTest& pack : g_work.Packs) {
      runs.push_back(benchmark::RegisterBenchmark(
          ("extract/" + pack.Name + "/library").c_str(),
          [&pack](benchmark::State& state) { ExtractThroughLibrary(state, pack, false); }));
      runs.push_back(benchmark::RegisterBenchmark(
          ("extract/" + pack.Name + "/library_flushed").c_str(),
          [&pack](benchmark::State& state) { ExtractThroughLibrary(state, pack, true); }));
      runs.push_back(benchmark::RegisterBenchmark(
          ("extract/" + pack.Name + "/qelpack").c_str(), [&pack](benchmark::State& state) {
            ExtractThroughCommand(state, pack.Name + ", qelpack extract",
                                  std::string(QEL_QELPACK_PATH) + " extract --guid bench " +
                                      Quote(pack.Path) + " ");
          }));
    }
    for (auto* run : runs)
      run->UseManualTime()->Iterations(settings.Iterations)->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    PrintSummary();
  } catch (const std::exception& failure) {
    std::cerr << "pack_extract_bench: " << failure.what() << "\n";
    result = 1;
  }
  benchmark::Shutdown();
  if (!settings.Keep && !g_work.Root.empty()) fs::remove_all(g_work.Root);
  return result;
}
