#include "launcher/PluginForm.h"

namespace qel {
namespace {

// The form's own colour (a light grey) shows where no picture does and
// behind the label; the label's text is black.
constexpr TColor kFormColor = RgbColor(0xF0, 0xF0, 0xF0);
constexpr TColor kLabelTextColor = RgbColor(0, 0, 0);

}  // namespace

TfrmPlugin::TfrmPlugin(TWindowSystem& windows) : Windows_(windows) { lbStep.Caption = "0%"; }

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
  const TWindowHandle handle = Windows_.CreatePlainWindow(parent, Left_, Top_, Width_, Height_);
  if (handle == 0) return;
  if (!Visible_) Windows_.ShowWindow(handle, false);
  try {
    Windows_.SetPaintHandler(handle, [this](TWindowCanvas& canvas, const TRect& area) { Paint(canvas, area); });
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
  if (Handle_ != 0) Windows_.SetPaintHandler(Handle_, {});
  if (Handle_ != 0) Windows_.DestroyWindow(Handle_);
  Handle_ = 0;
  Parent_ = 0;
}

// ---- Painting -----------------------------------------------------------------

void TfrmPlugin::Invalidate(const TRect& area) {
  if (Handle_ != 0 && Visible_ && !area.Empty()) Windows_.Repaint(Handle_, area);
}

void TfrmPlugin::Paint(TWindowCanvas& canvas, const TRect& area) {
  TRect shown;
  if (imgBG.Visible && imgBG.Picture) shown = Intersection(area, imgBG.Bounds);
  if (!shown.Empty()) {
    const TBitmap& picture = *imgBG.Picture;
    const TRect from = {shown.Left - imgBG.Bounds.Left, shown.Top - imgBG.Bounds.Top,
                        shown.Right - imgBG.Bounds.Left, shown.Bottom - imgBG.Bounds.Top};
    if (picture.Width() == imgBG.Bounds.Width() && picture.Height() == imgBG.Bounds.Height()) {
      canvas.DrawBitmap(shown.Left, shown.Top, picture, from);
    } else {
      // Only the part to be painted is stretched.
      TBitmap part(shown.Width(), shown.Height());
      part.StretchDraw(TRect::OfSize(-from.Left, -from.Top, imgBG.Bounds.Width(), imgBG.Bounds.Height()), picture);
      canvas.DrawBitmap(shown.Left, shown.Top, part, part.Bounds());
    }
  }
  // The bands of the area around the picture.
  if (shown.Empty()) {
    canvas.FillRect(area, kFormColor);
  } else {
    canvas.FillRect({area.Left, area.Top, area.Right, shown.Top}, kFormColor);
    canvas.FillRect({area.Left, shown.Bottom, area.Right, area.Bottom}, kFormColor);
    canvas.FillRect({area.Left, shown.Top, shown.Left, shown.Bottom}, kFormColor);
    canvas.FillRect({shown.Right, shown.Top, area.Right, shown.Bottom}, kFormColor);
  }
  if (lbStep.Visible && !Intersection(area, LabelBounds()).Empty())
    canvas.DrawLabel(lbStep.Left, lbStep.Top, lbStep.Caption, LabelFontHeight(), kLabelTextColor, kFormColor);
}

}  // namespace qel
