#include "BrowserLog.h"

#include <algorithm>
#include <cstdio>

namespace qel::test {

const char* FaultKindName(FaultKind kind) {
  switch (kind) {
    case FaultKind::Memory:
      return "memory";
    case FaultKind::Object:
      return "object";
    case FaultKind::Identifier:
      return "identifier";
    case FaultKind::Instance:
      return "instance";
    case FaultKind::Thread:
      return "thread";
  }
  return "unknown";
}

std::string PointerText(const void* p) {
  char text[32];
  std::snprintf(text, sizeof text, "%p", p);
  return text;
}

void BrowserLog::Call(std::string entry) {
  std::lock_guard lock(mutex_);
  calls_.push_back(std::move(entry));
}

void BrowserLog::Fault(FaultKind kind, std::string message) {
  std::lock_guard lock(mutex_);
  faults_.push_back({kind, std::move(message)});
}

std::vector<std::string> BrowserLog::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

void BrowserLog::ClearCalls() {
  std::lock_guard lock(mutex_);
  calls_.clear();
}

int BrowserLog::FaultCount(FaultKind kind) const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(std::count_if(faults_.begin(), faults_.end(),
                                        [kind](const Entry& e) { return e.kind == kind; }));
}

std::vector<std::string> BrowserLog::Faults() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> texts;
  texts.reserve(faults_.size());
  for (const Entry& e : faults_)
    texts.push_back(std::string(FaultKindName(e.kind)) + ": " + e.message);
  return texts;
}

}  // namespace qel::test
