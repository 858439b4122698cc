// The instance's form: the progress display (a background picture, a bar
// and a percentage label) shown while the game installs, the native window
// that the game is started or embedded in and that receives the game's
// copy-data messages, and the 50 ms timer that drives the instance. The
// window is a child of the instance's window, made when the form first gets
// a parent; until then the form only remembers its bounds and visibility.
//
// The display knows nothing of the launch: the instance hands it the
// pictures as they arrive and the percentage on every tick.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "msg/MsgReceiver.h"
#include "net/MemoryStream.h"
#include "platform/Bitmap.h"
#include "platform/CopyData.h"
#include "platform/NativeWindows.h"
#include "platform/Timer.h"

namespace qel {

enum TProgressMode : uint8_t {
  pmHidden = 0,  // before it is shown and once the game runs
  pmTinted = 1,  // the background tinted yellow inside the bar area
  pmImages = 2,  // the step picture drawn over the bar picture
};

// The form's controls: where each sits in the form and whether it shows.
struct TPictureControl {  // imgBG: its picture stretched to its bounds
  TRect Bounds;
  bool Visible = false;
  std::unique_ptr<TBitmap> Picture;
};
struct TBarArea {  // imgBar: never shown; only its bounds are used
  TRect Bounds;
};
struct TTextLabel {  // lbStep: sized to its text
  int32_t Left = 0;
  int32_t Top = 0;
  std::string Caption;
  bool Visible = false;
};

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

  // The display. ShowProgress lays it out on first show; SetProgress takes
  // any number and shows it clamped to 0..100. The picture setters read the
  // whole stream; a picture that cannot be decoded is ignored as if it had
  // never arrived. Each change is painted at once, only where it shows.
  void ShowProgress(bool show, TProgressMode mode);
  void SetProgress(int32_t percent);
  void SetBackgroundImage(const TMemoryStream& stream);
  void SetBarImage(const TMemoryStream& stream, int32_t x, int32_t y);
  void SetStepImage(const TMemoryStream& stream, int32_t x, int32_t y);
  // Releases the decoded pictures and the bar cache; what shows stays.
  void FreeImages();

  int32_t Progress() const { return Progress_; }
  TProgressMode Mode() const { return Mode_; }
  bool Composed() const { return Composed_; }
  bool HoldsPictures() const { return Background_ || BarImage_ || StepImage_ || BarCache_; }
  // The label's box, sized to its text.
  TRect LabelBounds();

  TPictureControl imgBG;
  TBarArea imgBar;
  TTextLabel lbStep;

  // Every request ("QELA") that reaches the form's window goes to the
  // receiver while one is set; other blocks, and all of them while no
  // receiver is set, are taken and dropped.
  void SetMsgReceiver(TQEL_MsgReceiver* receiver) { MsgReceiver_ = receiver; }
  TQEL_MsgReceiver* MsgReceiver() const { return MsgReceiver_; }

  TTimer Timer1;

 private:
  void MakeHandle(TWindowHandle parent);
  void DestroyHandle();

  // The display's steps.
  void PrepareLayout();
  // Tints `rect` (in imgBG's coordinates) of imgBG's picture; answers the
  // part of imgBG that changed.
  TRect TintRect(const TRect& rect, TColor color);
  void ComposeImages();
  // Restores the empty bar and draws the step picture `width` wide over it;
  // `shown_width` is the width drawn before, so that only the difference
  // is painted.
  void DrawStepBar(int32_t width, int32_t height, int32_t shown_width);
  void SetLabelCaption(int32_t percent);
  int32_t LabelFontHeight();

  // Painting: the picture at the top left, the form's colour around it and
  // the label on top.
  void Paint(TWindowCanvas& canvas, const TRect& area);
  void Invalidate(const TRect& area);
  // A design value (for 120 pixels per inch) at this screen's resolution.
  int32_t Scaled(int32_t design);

  TWindowSystem& Windows_;
  std::optional<int32_t> PixelsPerInch_;  // asked on first need
  int32_t Progress_ = 0;
  TProgressMode Mode_ = pmHidden;
  bool Composed_ = false;
  std::unique_ptr<TBitmap> TintBar_;
  std::unique_ptr<TBitmap> BarCache_;
  std::unique_ptr<TPicture> Background_;
  std::unique_ptr<TPicture> BarImage_;
  std::unique_ptr<TPicture> StepImage_;
  int32_t BarX_ = 0;
  int32_t BarY_ = 0;
  int32_t StepX_ = 0;
  int32_t StepY_ = 0;
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
