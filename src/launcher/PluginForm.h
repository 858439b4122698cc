// The instance's form: the native window that the game is started or
// embedded in and that receives the game's copy-data messages, and the 50 ms
// timer that drives the instance. The window is a plain dark child of the
// instance's window, made when the form first gets a parent; until then the
// form only remembers its bounds and visibility.
#pragma once

#include <cstdint>
#include <memory>

#include "msg/MsgReceiver.h"
#include "platform/CopyData.h"
#include "platform/NativeWindows.h"
#include "platform/Timer.h"

namespace qel {

class TfrmPlugin {
 public:
  explicit TfrmPlugin(TWindowSystem& windows);
  ~TfrmPlugin();
  TfrmPlugin(const TfrmPlugin&) = delete;
  TfrmPlugin& operator=(const TfrmPlugin&) = delete;

  // The native window; 0 until the form has had a parent.
  TWindowHandle Handle() const { return Handle_; }
  TWindowHandle ParentWindow() const { return Parent_; }
  // Makes `parent` the form's parent window, making the form's window on
  // first need (and again when the old one went with its parent).
  void SetParentWindow(TWindowHandle parent);
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height);
  void SetVisible(bool visible);
  bool Visible() const { return Visible_; }

  // Every request ("QELA") that reaches the form's window goes to the
  // receiver while one is set; other blocks, and all of them while no
  // receiver is set, are taken and dropped.
  void SetMsgReceiver(TQEL_MsgReceiver* receiver) { MsgReceiver_ = receiver; }
  TQEL_MsgReceiver* MsgReceiver() const { return MsgReceiver_; }

  TTimer Timer1;

 private:
  void MakeHandle(TWindowHandle parent);
  void DestroyHandle();

  TWindowSystem& Windows_;
  TWindowHandle Handle_ = 0;
  TWindowHandle Parent_ = 0;
  int32_t Left_ = 0;
  int32_t Top_ = 0;
  int32_t Width_ = 0;
  int32_t Height_ = 0;
  bool Visible_ = false;
  TQEL_MsgReceiver* MsgReceiver_ = nullptr;
  std::unique_ptr<TCopyDataListener> Listener_;
};

}  // namespace qel
