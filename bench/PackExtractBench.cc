// Extraction of a signed pack against `tar -xzf` of the same tree (default
// gzip), in one run: throughput, the ratio of the two times, and the peak
// memory of ours. Measures only; nothing is asserted.
//
//   pack_extract_bench [--pack_mb=200] [--files=3000] [--iterations=3] [--keep]
//                      [benchmark flags]
// The tree, the pack and the archive live in a temporary folder, removed at
// the end unless --keep is given.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "pack/ExtractThread.h"
#include "pack/PackFormat.h"
#include "platform/Resource.h"

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

struct TWorkspace {
  fs::path Root;
  fs::path Tree;
  fs::path Pack;
  fs::path Archive;
  int64_t TreeBytes = 0;
  int32_t MaxBlockSize = 0;
};

struct TResults {
  double OursSeconds = 0;
  double TarSeconds = 0;
  double PeakMiB = 0;
};

TWorkspace g_work;
TResults g_results;

std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

void Run(const std::string& command) {
  if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

// Text-like data (about 2.7:1 with zlib) or random bytes.
void FillFile(const fs::path& path, int64_t size, bool compressible, std::mt19937_64& random,
              const std::vector<std::string>& words) {
  std::string data;
  data.reserve(static_cast<size_t>(size));
  if (compressible) {
    while (static_cast<int64_t>(data.size()) < size) {
      data += words[random() % words.size()];
      data += random() % 12 ? ' ' : '\n';
    }
  } else {
    while (static_cast<int64_t>(data.size()) < size) {
      const uint64_t value = random();
      data.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
  }
  data.resize(static_cast<size_t>(size));
  std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(size));
}

// A quarter of the bytes in eight large files, the rest in files of 1 KiB to
// 1 MiB (log-uniform) spread over 40 folders; every other file compressible.
void MakeTree(const TSettings& settings) {
  std::mt19937_64 random(20240611);
  std::vector<std::string> words;
  for (int i = 0; i < 4000; ++i) {
    std::string word;
    for (int n = 3 + static_cast<int>(random() % 9); n > 0; --n)
      word += static_cast<char>('a' + random() % 26);
    words.push_back(word);
  }
  const int large = 8;
  const int small = std::max(settings.Files - large, 1);
  std::uniform_real_distribution<double> exponent(std::log(1024.0), std::log(1024.0 * 1024.0));
  std::vector<double> sizes(static_cast<size_t>(small));
  double sum = 0;
  for (double& size : sizes) sum += size = std::exp(exponent(random));
  const double scale = static_cast<double>(settings.PackBytes) * 0.75 / sum;

  for (int folder = 0; folder < 40; ++folder)
    fs::create_directories(g_work.Tree / ("area" + std::to_string(folder % 8)) /
                           ("set" + std::to_string(folder)));
  auto folder_of = [](int index) {
    const int folder = index % 40;
    return fs::path("area" + std::to_string(folder % 8)) / ("set" + std::to_string(folder));
  };
  for (int i = 0; i < small; ++i) {
    const auto size = static_cast<int64_t>(sizes[static_cast<size_t>(i)] * scale);
    FillFile(g_work.Tree / folder_of(i) / ("file" + std::to_string(i) + ".dat"), size, i % 2 == 0,
             random, words);
    g_work.TreeBytes += size;
  }
  for (int i = 0; i < large; ++i) {
    const int64_t size = settings.PackBytes / 4 / large;
    FillFile(g_work.Tree / ("large" + std::to_string(i) + ".dat"), size, i % 2 == 0, random, words);
    g_work.TreeBytes += size;
  }
}

void Prepare(const TSettings& settings) {
  std::random_device seed;
  g_work.Root = fs::temp_directory_path() / ("qelpack-bench-" + std::to_string(seed()));
  g_work.Tree = g_work.Root / "tree";
  g_work.Pack = g_work.Root / "tree.pack";
  g_work.Archive = g_work.Root / "tree.tar.gz";
  fs::create_directories(g_work.Tree);
  MakeTree(settings);

  const fs::path key = g_work.Root / "bench.pem";
  const fs::path blob = g_work.Root / "bench.blob";
  const std::string qelpack = QEL_QELPACK_PATH;
  Run(qelpack + " keygen " + Quote(key) + " " + Quote(blob) + " >/dev/null");
  Run(qelpack + " create --key " + Quote(key) + " --guid bench " + Quote(g_work.Tree) + " " +
      Quote(g_work.Pack) + " >/dev/null");
  Run("tar -czf " + Quote(g_work.Archive) + " -C " + Quote(g_work.Tree) + " .");

  std::ifstream blob_file(blob, std::ios::binary);
  SetLibraryResourceForTesting(
      "RAW", "PUBLIC_KEY",
      std::vector<uint8_t>{std::istreambuf_iterator<char>(blob_file), {}});
  std::ifstream pack(g_work.Pack, std::ios::binary);
  pack.seekg(kPackFrameSize + kPackHeaderSize + offsetof(TBodyHeader, MaxBlockSize));
  pack.read(reinterpret_cast<char*>(&g_work.MaxBlockSize), sizeof g_work.MaxBlockSize);
}

fs::path FreshOutput() {
  const fs::path out = g_work.Root / "out";
  fs::remove_all(out);
  fs::create_directories(out);
  return out;
}

void ExtractWithQelpack(benchmark::State& state) {
  TPeakMemory memory;
  for (auto _ : state) {
    const fs::path out = FreshOutput();
    memory.Start();
    const auto start = std::chrono::steady_clock::now();
    std::ifstream file(g_work.Pack, std::ios::binary | std::ios::ate);
    std::vector<uint8_t> pack(static_cast<size_t>(file.tellg()));
    file.seekg(0);
    file.read(reinterpret_cast<char*>(pack.data()), static_cast<std::streamsize>(pack.size()));
    bool succeeded = false;
    {
      TExtractThread thread(out.string() + "/", pack, "bench");
      while (!thread.WaitFor(1000)) {
      }
      succeeded = thread.Succeeded();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    if (!succeeded) {
      state.SkipWithError("extraction failed");
      return;
    }
    g_results.OursSeconds += seconds / static_cast<double>(state.max_iterations);
    g_results.PeakMiB = std::max(g_results.PeakMiB, memory.GrowthMiB());
  }
  state.SetBytesProcessed(state.iterations() * g_work.TreeBytes);
  state.counters["peak_MiB"] = g_results.PeakMiB;
}

void ExtractWithTar(benchmark::State& state) {
  const std::string command = "tar -xzf " + Quote(g_work.Archive) + " -C ";
  for (auto _ : state) {
    const fs::path out = FreshOutput();
    const auto start = std::chrono::steady_clock::now();
    Run(command + Quote(out));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    g_results.TarSeconds += seconds / static_cast<double>(state.max_iterations);
  }
  state.SetBytesProcessed(state.iterations() * g_work.TreeBytes);
}

void PrintSummary() {
  const double pack_mib = static_cast<double>(fs::file_size(g_work.Pack)) / kMiB;
  const double archive_mib = static_cast<double>(fs::file_size(g_work.Archive)) / kMiB;
  const double tree_mb = static_cast<double>(g_work.TreeBytes) / 1e6;
  const double budget = pack_mib + g_work.MaxBlockSize / kMiB + 16;
  std::printf(
      "tree %.1f MB; pack %.1f MiB (max block %.1f MiB); tar.gz %.1f MiB\n"
      "ours %.1f MB/s, tar -xzf %.1f MB/s, ratio ours/tar %.2f\n"
      "peak memory of ours %.1f MiB (pack + block buffer + 16 MiB = %.1f MiB)\n",
      tree_mb, pack_mib, g_work.MaxBlockSize / kMiB, archive_mib, tree_mb / g_results.OursSeconds,
      tree_mb / g_results.TarSeconds, g_results.OursSeconds / g_results.TarSeconds,
      g_results.PeakMiB, budget);
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
    for (auto* run : {benchmark::RegisterBenchmark("extract/qelpack", ExtractWithQelpack),
                      benchmark::RegisterBenchmark("extract/tar_xzf", ExtractWithTar)})
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
