// Download of one large file from nginx on loopback through THttpRequest
// against `curl -o /dev/null` of the same URL, in one run: throughput and
// their ratio, the peak memory of ours, and how long the plug-in thread's
// loop was kept from other work at worst. Measures only; nothing is asserted.
//
// A third run is the ceiling for any download held in memory: libcurl's
// blocking interface copying the body into a fresh buffer of the file's
// size, with no loop and no events. curl -o /dev/null touches no memory;
// every holder of the body pays the kernel for the buffer's new pages.
//
//   http_download_bench [--file_mb=200] [--iterations=3] [benchmark flags]
// The loop's stall is seen by a 1 ms timer on the same loop: the longest gap
// between its ticks, less its interval, bounds the longest single call.
// THttpRequest is polled at every turn of the loop (the plug-in polls every
// 50 ms), so that the figure is the transfer's own.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <random>
#include <string>

#include "BenchSupport.h"
#include "NginxServer.h"
#include "net/HttpRequest.h"
#include "platform/Loop.h"
#include "platform/Timer.h"

namespace qel::bench {
namespace {

using TClock = std::chrono::steady_clock;

constexpr double kMiB = 1024.0 * 1024.0;
constexpr unsigned kProbeIntervalMs = 1;
constexpr int kPatienceMs = 10 * 60 * 1000;
// A run without nginx is skipped, as CTest understands it.
constexpr int kSkipped = 77;

struct TSettings {
  int64_t FileBytes = 200LL * 1000 * 1000;
  int Iterations = 3;
};

struct TResults {
  double OursSeconds = 0;
  double CurlSeconds = 0;
  double CeilingSeconds = 0;
  double PeakMiB = 0;
  double LongestStallMs = 0;
  double LongestBusyMs = 0;
  double LongestFreeMs = 0;
};

std::string g_url;
int64_t g_file_bytes = 0;
TResults g_results;

void MakeFile(const std::string& path, int64_t size) {
  std::mt19937_64 random(20240611);
  std::ofstream file(path, std::ios::binary);
  std::string block(1 << 20, '\0');
  for (int64_t written = 0; written < size; written += static_cast<int64_t>(block.size())) {
    for (size_t i = 0; i < block.size(); i += sizeof(uint64_t)) {
      const uint64_t value = random();
      std::memcpy(block.data() + i, &value, sizeof value);
    }
    file.write(block.data(), static_cast<std::streamsize>(std::min<int64_t>(block.size(), size - written)));
  }
  if (!file.flush()) throw std::runtime_error("cannot write " + path);
}

// Ticks every millisecond on the loop and keeps the longest gap between
// ticks, in wall time and in the process's processor time. On a busy machine
// the wall time also holds the time other processes had the processor; the
// processor time is the work the loop itself did in that gap.
class TStallProbe {
 public:
  TStallProbe() {
    Timer_.SetHandler(this, &TStallProbe::Tick);
    Timer_.SetInterval(kProbeIntervalMs);
  }
  void Start() {
    LastWall_ = TClock::now();
    LastCpu_ = std::clock();
    LongestWallMs_ = LongestCpuMs_ = 0;
    Timer_.SetEnabled(true);
  }
  void Stop() {
    Tick();
    Timer_.SetEnabled(false);
  }
  // The longest gaps, less the interval, in milliseconds.
  double LongestWallMs() const { return std::max(0.0, LongestWallMs_ - kProbeIntervalMs); }
  double LongestCpuMs() const { return LongestCpuMs_; }

 private:
  void Tick() {
    const TClock::time_point wall = TClock::now();
    const std::clock_t cpu = std::clock();
    LongestWallMs_ = std::max(LongestWallMs_, std::chrono::duration<double, std::milli>(wall - LastWall_).count());
    LongestCpuMs_ = std::max(LongestCpuMs_, 1000.0 * static_cast<double>(cpu - LastCpu_) / CLOCKS_PER_SEC);
    LastWall_ = wall;
    LastCpu_ = cpu;
  }
  TTimer Timer_;
  TClock::time_point LastWall_;
  std::clock_t LastCpu_ = 0;
  double LongestWallMs_ = 0;
  double LongestCpuMs_ = 0;
};

void DownloadWithHttpRequest(benchmark::State& state) {
  TStallProbe probe;
  TPeakMemory memory;
  for (auto _ : state) {
    memory.Start();
    probe.Start();
    const TClock::time_point start = TClock::now();
    auto request = std::make_unique<THttpRequest>();
    request->Start(std::u16string(g_url.begin(), g_url.end()), 0);
    // The owner's periodic step, run at every turn of the loop.
    RunLoopUntil(
        [&] {
          request->Poll();
          return request->State() == rsDone || request->State() == rsError;
        },
        kPatienceMs);
    const double seconds = std::chrono::duration<double>(TClock::now() - start).count();
    probe.Stop();
    const bool done = request->State() == rsDone && request->Received() == g_file_bytes;
    // Giving the memory back is timed apart: it is not part of the transfer.
    const TClock::time_point freeing = TClock::now();
    request.reset();
    g_results.LongestFreeMs = std::max(
        g_results.LongestFreeMs, std::chrono::duration<double, std::milli>(TClock::now() - freeing).count());
    state.SetIterationTime(seconds);
    if (!done) {
      state.SkipWithError("the download failed");
      return;
    }
    g_results.OursSeconds += seconds / static_cast<double>(state.max_iterations);
    g_results.PeakMiB = std::max(g_results.PeakMiB, memory.GrowthMiB());
    g_results.LongestStallMs = std::max(g_results.LongestStallMs, probe.LongestWallMs());
    g_results.LongestBusyMs = std::max(g_results.LongestBusyMs, probe.LongestCpuMs());
  }
  state.SetBytesProcessed(state.iterations() * g_file_bytes);
  state.counters["peak_MiB"] = g_results.PeakMiB;
  state.counters["stall_ms"] = g_results.LongestStallMs;
  state.counters["busy_ms"] = g_results.LongestBusyMs;
}

// curl's one-time start in the process (TLS library and all) is not part of
// any transfer; one small download takes it first.
void WarmUp(const std::string& url) {
  THttpRequest request;
  request.Start(std::u16string(url.begin(), url.end()), 0);
  RunLoopUntil(
      [&] {
        request.Poll();
        return request.State() == rsDone || request.State() == rsError;
      },
      kPatienceMs);
  if (request.State() != rsDone) throw std::runtime_error("the warm-up download failed");
}

void DownloadWithCurl(benchmark::State& state) {
  const std::string command = "curl -s --noproxy '*' -o /dev/null '" + g_url + "'";
  for (auto _ : state) {
    const TClock::time_point start = TClock::now();
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("curl failed");
      return;
    }
    const double seconds = std::chrono::duration<double>(TClock::now() - start).count();
    state.SetIterationTime(seconds);
    g_results.CurlSeconds += seconds / static_cast<double>(state.max_iterations);
  }
  state.SetBytesProcessed(state.iterations() * g_file_bytes);
}

struct TFreshBuffer {
  std::unique_ptr<uint8_t[]> Memory;
  size_t Size = 0;
  size_t Filled = 0;

  static size_t Write(char* bytes, size_t size, size_t count, void* self) {
    auto* buffer = static_cast<TFreshBuffer*>(self);
    const size_t length = size * count;
    if (length > buffer->Size - buffer->Filled) return CURL_WRITEFUNC_ERROR;
    std::memcpy(buffer->Memory.get() + buffer->Filled, bytes, length);
    buffer->Filled += length;
    return length;
  }
};

void DownloadWithLibcurlIntoMemory(benchmark::State& state) {
  for (auto _ : state) {
    const TClock::time_point start = TClock::now();
    TFreshBuffer buffer;
    buffer.Size = static_cast<size_t>(g_file_bytes);
    buffer.Memory = std::make_unique_for_overwrite<uint8_t[]>(buffer.Size);
    CURL* easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_URL, g_url.c_str());
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "*");
    // The same receive buffer as the plug-in's transfers.
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 256L * 1024);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &TFreshBuffer::Write);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &buffer);
    const CURLcode result = curl_easy_perform(easy);
    curl_easy_cleanup(easy);
    const double seconds = std::chrono::duration<double>(TClock::now() - start).count();
    if (result != CURLE_OK || buffer.Filled != buffer.Size) {
      state.SkipWithError("the download failed");
      return;
    }
    state.SetIterationTime(seconds);
    g_results.CeilingSeconds += seconds / static_cast<double>(state.max_iterations);
  }
  state.SetBytesProcessed(state.iterations() * g_file_bytes);
}

void PrintSummary() {
  const double mb = static_cast<double>(g_file_bytes) / 1e6;
  const double file_mib = static_cast<double>(g_file_bytes) / kMiB;
  std::printf(
      "file %.1f MB from nginx on 127.0.0.1\n"
      "THttpRequest %.1f MB/s, curl -o /dev/null %.1f MB/s, ratio ours/curl %.2f (target >= 0.9)\n"
      "libcurl into a fresh buffer (the ceiling in memory) %.1f MB/s, ratio ours/ceiling %.2f\n"
      "peak memory of ours %.1f MiB (file + 16 MiB = %.1f MiB)\n"
      "longest stall of the loop during the transfer %.2f ms, of which its own work %.2f ms (target < 5 ms)\n"
      "freeing the buffer afterwards %.2f ms\n",
      mb, mb / g_results.OursSeconds, mb / g_results.CurlSeconds, g_results.CurlSeconds / g_results.OursSeconds,
      mb / g_results.CeilingSeconds, g_results.CeilingSeconds / g_results.OursSeconds,
      g_results.PeakMiB, file_mib + 16, g_results.LongestStallMs, g_results.LongestBusyMs,
      g_results.LongestFreeMs);
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
  benchmark::Initialize(&argc, argv);
  if (qel::test::FindNginx().empty()) {
    std::cerr << "http_download_bench: nginx is not installed; nothing measured\n";
    return kSkipped;
  }
  int result = 0;
  try {
    qel::test::TNginxServer nginx;
    if (!nginx.Running()) throw std::runtime_error(nginx.Failure());
    g_file_bytes = settings.FileBytes;
    MakeFile(nginx.Root() + "big.dat", g_file_bytes);
    g_url = nginx.Url("big.dat");
    nginx.PutFile("small.dat", "warm");
    WarmUp(nginx.Url("small.dat"));
    for (auto* run : {benchmark::RegisterBenchmark("download/curl", DownloadWithCurl),
                      benchmark::RegisterBenchmark("download/libcurl-into-memory", DownloadWithLibcurlIntoMemory),
                      benchmark::RegisterBenchmark("download/THttpRequest", DownloadWithHttpRequest)})
      run->UseManualTime()->Iterations(settings.Iterations)->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    PrintSummary();
  } catch (const std::exception& failure) {
    std::cerr << "http_download_bench: " << failure.what() << "\n";
    result = 1;
  }
  benchmark::Shutdown();
  return result;
}
