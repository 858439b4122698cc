// A periodic timer on the plug-in thread's loop, bound to an object's method.
// A failure that escapes the handler goes to the last-resort handler and the
// timer goes on.
#pragma once

#include <functional>
#include <memory>

namespace qel {

class TTimer {
 public:
  TTimer();
  ~TTimer();
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;

  template <class T>
  void SetHandler(T* object, void (T::*method)()) {
    Handler_ = [object, method] { (object->*method)(); };
  }
  void SetInterval(unsigned milliseconds);  // default 50
  unsigned Interval() const { return Interval_; }
  void SetEnabled(bool enabled);
  bool Enabled() const { return Ticking_ != nullptr; }

  // The loop's registration of a running timer: each system's own, made by
  // StartTicking and ended by TTickingEnd, which the system defines too.
  struct TTicking;
  struct TTickingEnd {
    void operator()(TTicking* ticking) const;
  };
  using TTickingPtr = std::unique_ptr<TTicking, TTickingEnd>;

 private:
  static TTickingPtr StartTicking(TTimer* timer, unsigned interval);
  void Restart();
  void Tick();

  std::function<void()> Handler_;
  unsigned Interval_ = 50;
  TTickingPtr Ticking_;  // null while disabled
};

}  // namespace qel
