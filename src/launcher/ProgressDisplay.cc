// The progress display of the form: a background picture with either a
// yellow-tinted strip growing across the bar area (pmTinted) or the
// publisher's step picture revealed over the bar picture (pmImages), and a
// label with the percentage.
#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "launcher/PluginForm.h"
#include "platform/PictureDecoding.h"

namespace qel {
namespace {

// The form's design, for a screen of 120 pixels per inch.
constexpr int32_t kDesignPixelsPerInch = 120;
constexpr TRect kDesignBarBounds = {64, 40, 64 + 105, 40 + 20};
constexpr int32_t kDesignFontHeight = 13;

constexpr TColor kTintColor = RgbColor(255, 255, 0);

std::unique_ptr<TPicture> Decoded(std::optional<TPicture> picture) {
  return picture ? std::make_unique<TPicture>(std::move(*picture)) : nullptr;
}

// The columns (or rows) of a picture `source` long stretched to `dest` long
// that show the picture's [first, last): column i shows i * source div dest.
std::pair<int32_t, int32_t> StretchedSpan(int32_t first, int32_t last, int32_t source, int32_t dest) {
  const auto shown_from = [&](int64_t column) {
    return static_cast<int32_t>((column * dest + source - 1) / source);  // ceiling
  };
  return {shown_from(first), shown_from(last)};
}

}  // namespace

int32_t TfrmPlugin::Scaled(int32_t design) {
  if (!PixelsPerInch_) PixelsPerInch_ = std::max(Windows_.ScreenPixelsPerInch(), 1);
  // Rounded, as the form's scaling does it.
  return static_cast<int32_t>((int64_t{design} * *PixelsPerInch_ + kDesignPixelsPerInch / 2) /
                              kDesignPixelsPerInch);
}

int32_t TfrmPlugin::LabelFontHeight() { return Scaled(kDesignFontHeight); }

TRect TfrmPlugin::LabelBounds() {
  const TWindowSize size = Windows_.TextExtent(lbStep.Caption, LabelFontHeight());
  return TRect::OfSize(lbStep.Left, lbStep.Top, size.Width, size.Height);
}

void TfrmPlugin::ShowProgress(bool show, TProgressMode mode) {
  Mode_ = mode;
  if (show && !TintBar_) PrepareLayout();
  imgBG.Visible = show;
  lbStep.Visible = show && mode == pmTinted;
  if (Progress_ >= 100 && !show) FreeImages();
  Invalidate({0, 0, Width_, Height_});
}

// The first show, whatever the mode: a black field, the bar area at seven
// tenths of the width, centred, four fifths down, and the label above its
// middle.
void TfrmPlugin::PrepareLayout() {
  imgBG.Picture = std::make_unique<TBitmap>(imgBG.Bounds.Width(), imgBG.Bounds.Height());
  const int32_t width = Width_ * 7 / 10;
  const int32_t left = (Width_ - width) / 2;
  const int32_t top = Height_ * 4 / 5;
  imgBar.Bounds = TRect::OfSize(left, top, width, Scaled(kDesignBarBounds.Height()));
  const TRect label = LabelBounds();
  lbStep.Left = left + width / 2 - 12;
  lbStep.Top = top - label.Height() - 4;
  TintBar_ = std::make_unique<TBitmap>(imgBar.Bounds.Width(), imgBar.Bounds.Height());
}

void TfrmPlugin::SetProgress(int32_t percent) {
  percent = std::clamp(percent, 0, 100);
  if (Mode_ == pmImages) {
    if (Composed_ && StepImage_) {
      SetLabelCaption(percent);
      const int32_t width = StepImage_->Width();
      const int32_t new_width = width * percent / 100;
      const int32_t old_width = width * Progress_ / 100;
      if (new_width != old_width) DrawStepBar(new_width, StepImage_->Height(), old_width);
    }
    Progress_ = percent;
    return;
  }
  if (percent == Progress_ || !TintBar_) return;
  SetLabelCaption(percent);
  const TRect& bar = imgBar.Bounds;
  const int32_t new_width = bar.Width() * percent / 100;
  const int32_t old_width = bar.Width() * Progress_ / 100;
  // Only the newly covered strip; when the percentage falls it is empty.
  if (new_width != old_width)
    Invalidate(TintRect({bar.Left + old_width, bar.Top, bar.Left + new_width, bar.Bottom}, kTintColor));
  Progress_ = percent;
}

// Every tick brings a percentage; the label is painted only when it changes.
void TfrmPlugin::SetLabelCaption(int32_t percent) {
  std::string caption = std::to_string(percent) + "%";
  if (caption == lbStep.Caption) return;
  const TRect before = LabelBounds();
  lbStep.Caption = std::move(caption);
  if (lbStep.Visible) Invalidate(Union(before, LabelBounds()));
}

// imgBG stretches its picture, so the rectangle is brought to the picture's
// scale first: single-precision factors, products truncated toward zero.
TRect TfrmPlugin::TintRect(const TRect& rect, TColor color) {
  if (!imgBG.Picture || imgBG.Bounds.Empty()) return {};
  TBitmap& picture = *imgBG.Picture;
  const float sx = static_cast<float>(picture.Width()) / static_cast<float>(imgBG.Bounds.Width());
  const float sy = static_cast<float>(picture.Height()) / static_cast<float>(imgBG.Bounds.Height());
  const auto scale = [](int32_t value, float factor) {
    return static_cast<int32_t>(std::trunc(static_cast<double>(value) * static_cast<double>(factor)));
  };
  const TRect tinted = Intersection(
      {scale(rect.Left, sx), scale(rect.Top, sy), scale(rect.Right, sx), scale(rect.Bottom, sy)}, picture.Bounds());
  if (tinted.Empty()) return {};
  picture.Tint(tinted, color);
  const auto [left, right] = StretchedSpan(tinted.Left, tinted.Right, picture.Width(), imgBG.Bounds.Width());
  const auto [top, bottom] = StretchedSpan(tinted.Top, tinted.Bottom, picture.Height(), imgBG.Bounds.Height());
  return {imgBG.Bounds.Left + left, imgBG.Bounds.Top + top, imgBG.Bounds.Left + right, imgBG.Bounds.Top + bottom};
}

void TfrmPlugin::SetBackgroundImage(const TMemoryStream& stream) {
  std::unique_ptr<TPicture> background = Decoded(DecodeJpeg(stream.Bytes()));
  if (!background) return;
  Background_ = std::move(background);
  if (Mode_ != pmTinted) {
    ComposeImages();
    return;
  }
  imgBG.Picture = std::make_unique<TBitmap>(Background_->Colors);
  FreeImages();
  // The progress reached so far, again on the new picture.
  const TRect& bar = imgBar.Bounds;
  if (Progress_ != 0)
    TintRect(TRect::OfSize(bar.Left, bar.Top, bar.Width() * Progress_ / 100, bar.Height()), kTintColor);
  Invalidate(imgBG.Bounds);
}

void TfrmPlugin::SetBarImage(const TMemoryStream& stream, int32_t x, int32_t y) {
  std::unique_ptr<TPicture> bar = Decoded(DecodePng(stream.Bytes()));
  if (!bar) return;
  BarX_ = x;
  BarY_ = y;
  BarImage_ = std::move(bar);
  ComposeImages();
}

void TfrmPlugin::SetStepImage(const TMemoryStream& stream, int32_t x, int32_t y) {
  std::unique_ptr<TPicture> step = Decoded(DecodePng(stream.Bytes()));
  if (!step) return;
  StepX_ = x;
  StepY_ = y;
  StepImage_ = std::move(step);
  ComposeImages();
}

// The last of the three pictures to arrive builds the display: the
// background at its own size on black, and a cache of the background under
// the bar with the bar drawn on it, from which each step restores the
// empty bar.
void TfrmPlugin::ComposeImages() {
  if (Mode_ != pmImages || !Background_ || !BarImage_ || !StepImage_ || Composed_) return;
  Composed_ = true;
  auto composed = std::make_unique<TBitmap>(imgBG.Bounds.Width(), imgBG.Bounds.Height());
  DrawBlended(*composed, 0, 0, *Background_, composed->Bounds());
  BarCache_ = std::make_unique<TBitmap>(BarImage_->Width(), BarImage_->Height());
  BarCache_->CopyRect(0, 0, *composed, TRect::OfSize(BarX_, BarY_, BarImage_->Width(), BarImage_->Height()));
  DrawBlended(*BarCache_, 0, 0, *BarImage_, BarCache_->Bounds());
  imgBG.Picture = std::move(composed);
  // The bar shows from composition on, empty at 0%.
  DrawStepBar(StepImage_->Width() * Progress_ / 100, StepImage_->Height(), 0);
  lbStep.Caption = std::to_string(Progress_) + "%";
  const TRect label = LabelBounds();
  lbStep.Left = BarX_ + BarImage_->Width() / 2 - label.Width() / 2;
  lbStep.Top = BarY_ - 4 - label.Height();
  lbStep.Visible = true;
  Invalidate(Union(imgBG.Bounds, LabelBounds()));
}

void TfrmPlugin::DrawStepBar(int32_t width, int32_t height, int32_t shown_width) {
  if (!imgBG.Picture || !BarCache_ || !StepImage_) return;
  TBitmap& picture = *imgBG.Picture;
  picture.Draw(BarX_, BarY_, *BarCache_);
  const TRect step = TRect::OfSize(StepX_, StepY_, width, height);
  // A picture with alpha is cut at the width; one without is squeezed into it.
  if (StepImage_->HasAlpha())
    DrawBlended(picture, StepX_, StepY_, *StepImage_, step);
  else
    picture.StretchDraw(step, StepImage_->Colors);
  // What changed: with alpha only the columns between the two widths, else
  // the whole squeezed picture.
  const int32_t from = StepImage_->HasAlpha() ? std::min(width, shown_width) : 0;
  const TRect changed = {StepX_ + from, StepY_, StepX_ + std::max(width, shown_width), StepY_ + height};
  Invalidate({changed.Left + imgBG.Bounds.Left, changed.Top + imgBG.Bounds.Top, changed.Right + imgBG.Bounds.Left,
              changed.Bottom + imgBG.Bounds.Top});
}

void TfrmPlugin::FreeImages() {
  Background_.reset();
  BarImage_.reset();
  StepImage_.reset();
  BarCache_.reset();
}

}  // namespace qel
