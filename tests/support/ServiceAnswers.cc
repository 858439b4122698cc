#include "ServiceAnswers.h"

#include <algorithm>
#include <cstring>

namespace qel::test {

void ServiceAnswers::FailCall(std::string entry, NPError error) {
  std::lock_guard lock(mutex_);
  if (error == NPERR_NO_ERROR) {
    failures_.erase(entry);
  } else {
    failures_.insert_or_assign(std::move(entry), error);
  }
}

NPError ServiceAnswers::ResultFor(std::string_view entry) const {
  std::lock_guard lock(mutex_);
  auto it = failures_.find(entry);
  if (it == failures_.end()) return NPERR_NO_ERROR;
  return it->second;
}

void ServiceAnswers::AnswerBool(NPNVariable variable, bool value) {
  std::lock_guard lock(mutex_);
  bools_.insert_or_assign(variable, value);
}

std::optional<bool> ServiceAnswers::BoolAnswer(NPNVariable variable) const {
  std::lock_guard lock(mutex_);
  auto it = bools_.find(variable);
  if (it == bools_.end()) return std::nullopt;
  return it->second;
}

void ServiceAnswers::AnswerValue(NPNVariable variable, uint64_t value, size_t size) {
  std::lock_guard lock(mutex_);
  values_.insert_or_assign(variable, std::pair{value, std::min(size, sizeof value)});
}

bool ServiceAnswers::WriteValueAnswer(NPNVariable variable, void* out) const {
  std::lock_guard lock(mutex_);
  auto it = values_.find(variable);
  if (it == values_.end()) return false;
  // Little-endian: the low bytes come first.
  std::memcpy(out, &it->second.first, it->second.second);
  return true;
}

void ServiceAnswers::RememberSetValue(NPPVariable variable, void* value) {
  std::lock_guard lock(mutex_);
  setValues_.insert_or_assign(variable, reinterpret_cast<intptr_t>(value));
}

std::optional<intptr_t> ServiceAnswers::LastSetValue(NPPVariable variable) const {
  std::lock_guard lock(mutex_);
  auto it = setValues_.find(variable);
  if (it == setValues_.end()) return std::nullopt;
  return it->second;
}

void ServiceAnswers::SetEvaluator(Evaluator evaluator) {
  std::lock_guard lock(mutex_);
  evaluator_ = std::move(evaluator);
}

bool ServiceAnswers::HasEvaluator() const {
  std::lock_guard lock(mutex_);
  return static_cast<bool>(evaluator_);
}

bool ServiceAnswers::Evaluate(std::string_view script, NPVariant* result) const {
  Evaluator evaluator;
  {
    std::lock_guard lock(mutex_);
    evaluator = evaluator_;
  }
  // Called unlocked: the evaluator may call back into the browser.
  return evaluator && evaluator(script, result);
}

}  // namespace qel::test

namespace qel::test {

void ServiceAnswers::SetStreamEnder(StreamEnder ender) {
  std::lock_guard lock(mutex_);
  streamEnder_ = std::move(ender);
}

void ServiceAnswers::EndStream(NPP instance, NPStream* stream, NPReason reason) const {
  StreamEnder ender;
  {
    std::lock_guard lock(mutex_);
    ender = streamEnder_;
  }
  if (ender) ender(instance, stream, reason);
}

}  // namespace qel::test
