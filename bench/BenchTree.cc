#include "BenchTree.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace qel::bench {
namespace fs = std::filesystem;
namespace {

constexpr int kFolders = 40;
constexpr int kLargeFiles = 8;

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

fs::path FolderOf(int index) {
  const int folder = index % kFolders;
  return fs::path("area" + std::to_string(folder % 8)) / ("set" + std::to_string(folder));
}

void WarmFreeMemory() {
  constexpr size_t kWarm = 768u << 20;
  const auto memory = std::make_unique_for_overwrite<char[]>(kWarm);
  for (size_t at = 0; at < kWarm; at += 4096) memory[at] = 1;
  benchmark::DoNotOptimize(memory.get());
}

}  // namespace

std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

void Run(const std::string& command) {
  if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

fs::path FreshOutputFolder(const fs::path& root) {
  static int runs = 0;
  const fs::path out = root / ("out" + std::to_string(++runs));
  fs::create_directories(out);
  Run("sync");
  WarmFreeMemory();
  return out;
}

int64_t MakeBenchTree(const fs::path& root, int64_t bytes, int files, uint64_t seed) {
  std::mt19937_64 random(seed);
  std::vector<std::string> words;
  for (int i = 0; i < 4000; ++i) {
    std::string word;
    for (int n = 3 + static_cast<int>(random() % 9); n > 0; --n) word += static_cast<char>('a' + random() % 26);
    words.push_back(word);
  }
  const int small = std::max(files - kLargeFiles, 1);
  std::uniform_real_distribution<double> exponent(std::log(1024.0), std::log(1024.0 * 1024.0));
  std::vector<double> sizes(static_cast<size_t>(small));
  double sum = 0;
  for (double& size : sizes) sum += size = std::exp(exponent(random));
  const double scale = static_cast<double>(bytes) * 0.75 / sum;

  int64_t written = 0;
  for (int folder = 0; folder < kFolders; ++folder) fs::create_directories(root / FolderOf(folder));
  for (int i = 0; i < small; ++i) {
    const auto size = static_cast<int64_t>(sizes[static_cast<size_t>(i)] * scale);
    FillFile(root / FolderOf(i) / ("file" + std::to_string(i) + ".dat"), size, i % 2 == 0, random, words);
    written += size;
  }
  for (int i = 0; i < kLargeFiles; ++i) {
    const int64_t size = bytes / 4 / kLargeFiles;
    FillFile(root / ("large" + std::to_string(i) + ".dat"), size, i % 2 == 0, random, words);
    written += size;
  }
  return written;
}

}  // namespace qel::bench
