#include "launcher/PluginForm.h"

namespace qel {

TfrmPlugin::TfrmPlugin(TWindowSystem& windows) : Windows_(windows) {}

TfrmPlugin::~TfrmPlugin() {
  Timer1.SetEnabled(false);
  DestroyHandle();
}

void TfrmPlugin::SetParentWindow(TWindowHandle parent) {
  if (Handle_ != 0 && !Windows_.IsWindow(Handle_)) DestroyHandle();
  if (Handle_ == 0) {
    if (parent != 0) MakeHandle(parent);
    return;
  }
  if (parent == Parent_) return;
  Parent_ = parent;
  Windows_.SetParent(Handle_, parent);
  Windows_.MoveWindow(Handle_, Left_, Top_, Width_, Height_);
}

void TfrmPlugin::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  Left_ = left;
  Top_ = top;
  Width_ = width;
  Height_ = height;
  if (Handle_ != 0) Windows_.MoveWindow(Handle_, left, top, width, height);
}

void TfrmPlugin::SetVisible(bool visible) {
  Visible_ = visible;
  if (Handle_ != 0) Windows_.ShowWindow(Handle_, visible);
}

void TfrmPlugin::MakeHandle(TWindowHandle parent) {
  const TWindowHandle handle = Windows_.CreateWindow(parent, Left_, Top_, Width_, Height_);
  if (handle == 0) return;
  if (!Visible_) Windows_.ShowWindow(handle, false);
  try {
    Listener_ = std::make_unique<TCopyDataListener>(
        handle, [this](TWindowHandle sender, uint32_t tag, std::span<const uint8_t> block) {
          // The game's requests only: an answer block sent to us is nobody's.
          if (MsgReceiver_ != nullptr && tag == kMagicRequest) MsgReceiver_->HandleCopyData(sender, tag, block);
        });
  } catch (...) {
    Windows_.DestroyWindow(handle);
    throw;
  }
  Handle_ = handle;
  Parent_ = parent;
}

void TfrmPlugin::DestroyHandle() {
  Listener_.reset();
  if (Handle_ != 0) Windows_.DestroyWindow(Handle_);
  Handle_ = 0;
  Parent_ = 0;
}

}  // namespace qel
