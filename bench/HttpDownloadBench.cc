// Download of one large file from nginx on loopback as the data downloader
// does it: THttpRequest writing into a pack cache file, hashed and flushed
// behind the transfer. Against `curl -o FILE` into the same folder (the same
// disk) and `curl -o /dev/null`, in one run: throughput and ratios, the
// growth of the process's own memory, and how long the plug-in thread's loop
// was kept from other work at worst. Measures only; nothing is asserted.
//
//   http_download_bench [--file_mb=200] [--iterations=3] [benchmark flags]
// The request is polled at every turn of the loop (the plug-in polls every
// 50 ms), so that the figure is the transfer's own. Ours is timed to the
// request's end and, apart, to the cache's end (its last bytes hashed and
// flushed); curl flushes nothing.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "BenchSupport.h"
#include "LoopProbe.h"
#include "NginxBench.h"
#include "net/HttpRequest.h"
#include "net/PackCache.h"
#include "platform/Loop.h"

namespace qel::bench {
namespace {

using TClock = std::chrono::steady_clock;

constexpr int kPatienceMs = 10 * 60 * 1000;

struct TSettings {
  int64_t FileBytes = 200LL * 1000 * 1000;
  int Iterations = 3;
};

struct TResults {
  double OursSeconds = 0;
  double OursCachedSeconds = 0;
  double CurlFileSeconds = 0;
  double CurlNullSeconds = 0;
  double AnonymousMiB = 0;
  double LongestTurnMs = 0;
};

std::string g_url;
std::filesystem::path g_folder;
int64_t g_file_bytes = 0;
TResults g_results;

// Random bytes behind a pack's frame, so that the cache hashes all but the
// last 128 bytes as a signed region.
void MakeFile(const std::string& path, int64_t size) {
  constexpr uint32_t kSignatureBytes = 128;
  std::mt19937_64 random(20240611);
  std::ofstream file(path, std::ios::binary);
  std::string block(1 << 20, '\0');
  for (int64_t written = 0; written < size; written += static_cast<int64_t>(block.size())) {
    for (size_t i = 0; i < block.size(); i += sizeof(uint64_t)) {
      const uint64_t value = random();
      std::memcpy(block.data() + i, &value, sizeof value);
    }
    if (written == 0) {
      const uint32_t frame[2] = {static_cast<uint32_t>(size - 8 - kSignatureBytes), kSignatureBytes};
      std::memcpy(block.data(), frame, sizeof frame);
    }
    file.write(block.data(), static_cast<std::streamsize>(std::min<int64_t>(block.size(), size - written)));
  }
  if (!file.flush()) throw std::runtime_error("cannot write " + path);
}

// The request's body goes into the cache, as in the downloader.
class TCacheBody final : public IRequestBody {
 public:
  explicit TCacheBody(TPackCache& cache) : Cache_(cache) {}
  bool BodyStarts(int32_t offset, int32_t length) override { return Cache_.Begin(offset, length, {}); }
  bool BodyData(const uint8_t* data, int32_t size) override { return Cache_.Append(data, size); }
  int64_t BodyRoom() const override { return Cache_.Room(); }

 private:
  TPackCache& Cache_;
};

void DownloadIntoPackCache(benchmark::State& state) {
  TLoopProbe probe;
  const std::string path = (g_folder / "ours.tmp").string();
  for (auto _ : state) {
    std::filesystem::remove(path);
    probe.Start();
    const TClock::time_point start = TClock::now();
    TPackCache cache(TDataFile::Open(path), {.RecordSize = [](int32_t) {}, .RecordValidator = [](const std::string&) {}});
    TCacheBody body(cache);
    THttpRequest request;
    request.SetBody(&body);
    request.Start(std::u16string(g_url.begin(), g_url.end()), 0);
    // The owner's periodic step, run at every turn of the loop.
    RunLoopUntil(
        [&] {
          request.Poll();
          return request.State() == rsDone || request.State() == rsError;
        },
        kPatienceMs);
    const double seconds = std::chrono::duration<double>(TClock::now() - start).count();
    cache.Finish();
    RunLoopUntil([&] { return cache.Done(); }, kPatienceMs);
    const double cached = std::chrono::duration<double>(TClock::now() - start).count();
    probe.Stop();
    if (request.State() != rsDone || !cache.Succeeded() || !cache.SignedDigest()) {
      state.SkipWithError("the download failed");
      return;
    }
    state.SetIterationTime(seconds);
    g_results.OursSeconds += seconds / static_cast<double>(state.max_iterations);
    g_results.OursCachedSeconds += cached / static_cast<double>(state.max_iterations);
    g_results.AnonymousMiB = std::max(g_results.AnonymousMiB, probe.AnonymousGrowthMiB());
    g_results.LongestTurnMs = std::max(g_results.LongestTurnMs, probe.LongestTurnMs());
  }
  state.SetBytesProcessed(state.iterations() * g_file_bytes);
  state.counters["anon_MiB"] = g_results.AnonymousMiB;
  state.counters["turn_ms"] = g_results.LongestTurnMs;
}

void DownloadWithCurl(benchmark::State& state, const std::string& target, double& seconds_sum) {
  const std::string command = "curl -s --noproxy '*' -o '" + target + "' '" + g_url + "'";
  for (auto _ : state) {
    std::filesystem::remove(g_folder / "curl.tmp");
    const TClock::time_point start = TClock::now();
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("curl failed");
      return;
    }
    const double seconds = std::chrono::duration<double>(TClock::now() - start).count();
    state.SetIterationTime(seconds);
    seconds_sum += seconds / static_cast<double>(state.max_iterations);
  }
  state.SetBytesProcessed(state.iterations() * g_file_bytes);
}

void PrintSummary() {
  const double mb = static_cast<double>(g_file_bytes) / 1e6;
  std::printf(
      "file %.1f MB from nginx on 127.0.0.1\n"
      "ours %.1f MB/s (%.1f MB/s to the last byte hashed and flushed)\n"
      "curl -o FILE %.1f MB/s, ratio ours/curl %.2f (target >= 0.9), to the last byte flushed %.2f\n"
      "curl -o /dev/null %.1f MB/s, ratio ours/curl %.2f\n"
      "growth of the process's own memory %.1f MiB\n"
      "longest turn of the loop during the transfer %.2f ms (target < 5 ms)\n",
      mb, mb / g_results.OursSeconds, mb / g_results.OursCachedSeconds, mb / g_results.CurlFileSeconds,
      g_results.CurlFileSeconds / g_results.OursSeconds, g_results.CurlFileSeconds / g_results.OursCachedSeconds,
      mb / g_results.CurlNullSeconds, g_results.CurlNullSeconds / g_results.OursSeconds, g_results.AnonymousMiB,
      g_results.LongestTurnMs);
}

TSettings ParseSettings(int& argc, char** argv) {
  TSettings settings;
  TakeOwnFlags(argc, argv, [&](const std::string& arg) {
    int64_t value = 0;
    if (FlagValue(arg, "--file_mb", value)) {
      settings.FileBytes = value * 1000 * 1000;
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
  const int result = RunAgainstNginx("http_download_bench", argc, argv, [&](qel::test::TNginxServer& nginx) {
    g_file_bytes = settings.FileBytes;
    MakeFile(nginx.Root() + "big.dat", g_file_bytes);
    g_url = nginx.Url("big.dat");
    WarmUpTransfers(nginx);
    // Beside the system's temporary files, where a browser's profile lies too.
    std::random_device seed;
    g_folder = std::filesystem::temp_directory_path() / ("download-bench-" + std::to_string(seed()));
    std::filesystem::create_directories(g_folder);
    const std::string curl_file = (g_folder / "curl.tmp").string();
    for (auto* run :
         {benchmark::RegisterBenchmark("download/curl-o-FILE",
                                       [curl_file](benchmark::State& state) {
                                         DownloadWithCurl(state, curl_file, g_results.CurlFileSeconds);
                                       }),
          benchmark::RegisterBenchmark("download/curl-o-null",
                                       [](benchmark::State& state) {
                                         DownloadWithCurl(state, "/dev/null", g_results.CurlNullSeconds);
                                       }),
          benchmark::RegisterBenchmark("download/THttpRequest-into-cache", DownloadIntoPackCache)})
      run->UseManualTime()->Iterations(settings.Iterations)->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    PrintSummary();
  });
  if (!g_folder.empty()) std::filesystem::remove_all(g_folder);
  return result;
}
