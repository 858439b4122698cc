// What the fake browser answers to the services a test configures: forced
// failures, boolean browser variables, script evaluation; and what the
// plug-in last told it through NPN_SetValue.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "host/NPApi.h"

namespace qel::test {

class ServiceAnswers {
 public:
  using Evaluator = std::function<bool(std::string_view script, NPVariant* result)>;
  using StreamEnder = std::function<void(NPP instance, NPStream* stream, NPReason reason)>;

  // The NPError-answering entry named as in the call log ("GetURLNotify",
  // "SetValue", ...) answers `error`; NPERR_NO_ERROR makes it succeed again.
  void FailCall(std::string entry, NPError error);
  NPError ResultFor(std::string_view entry) const;

  // NPN_GetValue(variable) answers this NPBool instead of NPERR_GENERIC_ERROR.
  void AnswerBool(NPNVariable variable, bool value);
  std::optional<bool> BoolAnswer(NPNVariable variable) const;

  // NPN_GetValue(variable) writes the low `size` bytes of `value` (a toolkit
  // number, a window id), as wide as the browser's own answer would be.
  void AnswerValue(NPNVariable variable, uint64_t value, size_t size);
  // The bytes written; false when no answer is set.
  bool WriteValueAnswer(NPNVariable variable, void* out) const;

  void RememberSetValue(NPPVariable variable, void* value);
  // The last NPN_SetValue value for the variable, as an integer.
  std::optional<intptr_t> LastSetValue(NPPVariable variable) const;

  // An evaluator answers every NPN_Evaluate; without one, the page object
  // evaluated in answers (FakePageObject::AnswerScript), others answer false.
  void SetEvaluator(Evaluator evaluator);
  bool HasEvaluator() const;
  bool Evaluate(std::string_view script, NPVariant* result) const;

  // Runs inside NPN_DestroyStream, before it returns: a browser may answer
  // with NPP_DestroyStream right there.
  void SetStreamEnder(StreamEnder ender);
  void EndStream(NPP instance, NPStream* stream, NPReason reason) const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, NPError, std::less<>> failures_;
  std::map<NPNVariable, bool> bools_;
  std::map<NPNVariable, std::pair<uint64_t, size_t>> values_;
  std::map<NPPVariable, intptr_t> setValues_;
  Evaluator evaluator_;
  StreamEnder streamEnder_;
};

}  // namespace qel::test
