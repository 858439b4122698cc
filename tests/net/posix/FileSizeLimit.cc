// RLIMIT_FSIZE, with SIGXFSZ ignored so that a write beyond fails instead.
#include <sys/resource.h>

#include <csignal>

#include "FileSizeLimit.h"

namespace qel::test {

struct TFileSizeLimit::TSaved {
  rlimit Limit{};
  void (*Handler)(int) = nullptr;
};

bool TFileSizeLimit::Supported() { return true; }

TFileSizeLimit::TFileSizeLimit(uint64_t bytes) : Saved_(std::make_unique<TSaved>()) {
  getrlimit(RLIMIT_FSIZE, &Saved_->Limit);
  Saved_->Handler = std::signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{static_cast<rlim_t>(bytes), Saved_->Limit.rlim_max};
  setrlimit(RLIMIT_FSIZE, &limit);
}

TFileSizeLimit::~TFileSizeLimit() {
  setrlimit(RLIMIT_FSIZE, &Saved_->Limit);
  std::signal(SIGXFSZ, Saved_->Handler);
}

}  // namespace qel::test
