// What the benchmarks share: their own command-line flags beside Google
// Benchmark's, and the peak memory of the process over one measured run.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qel::bench {

// Takes out of argv every argument that `take` accepts, so that only Google
// Benchmark's own flags remain for it.
void TakeOwnFlags(int& argc, char** argv, const std::function<bool(const std::string& arg)>& take);

// The value after "name=" as a number, when the argument is that flag.
bool FlagValue(const std::string& arg, const std::string& name, int64_t& value);

// How far the process's resident memory rose above where it stood at Start:
// the kernel's peak count is restarted there (Linux's clear_refs).
class TPeakMemory {
 public:
  void Start();
  double GrowthMiB() const;

 private:
  int64_t StartKiB_ = 0;
};

}  // namespace qel::bench
