#include "BenchSupport.h"

#include <cstdlib>
#include <cstring>
#include <fstream>

namespace qel::bench {
namespace {

int64_t ProcStatusKiB(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.starts_with(field)) return std::atoll(line.c_str() + std::strlen(field));
  return 0;
}

}  // namespace

void TakeOwnFlags(int& argc, char** argv, const std::function<bool(const std::string& arg)>& take) {
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (!take(argv[i])) argv[kept++] = argv[i];
  }
  argc = kept;
}

bool FlagValue(const std::string& arg, const std::string& name, int64_t& value) {
  const std::string prefix = name + "=";
  if (!arg.starts_with(prefix)) return false;
  value = std::atoll(arg.c_str() + prefix.size());
  return true;
}

void TPeakMemory::Start() {
  std::ofstream("/proc/self/clear_refs") << "5";
  StartKiB_ = ProcStatusKiB("VmRSS:");
}

double TPeakMemory::GrowthMiB() const { return static_cast<double>(ProcStatusKiB("VmHWM:") - StartKiB_) / 1024; }

}  // namespace qel::bench
