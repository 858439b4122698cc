#include "launcher/PluginHostWindow.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

#include "host/NPFuncs.h"
#include "host/Plugin.h"
#include "platform/PluginWindowing.h"

namespace qel {
namespace {

// A page number (CSS pixels, often fractional) as a whole pixel.
std::optional<int32_t> PixelOf(INPPropRes* result) {
  if (result == nullptr || result->GetKind() != pkValue) return std::nullopt;
  const std::optional<double> number = result->GetValue().AsNumber();
  if (!number || !std::isfinite(*number)) return std::nullopt;
  constexpr double kLimit = std::numeric_limits<int32_t>::max() / 2;
  return static_cast<int32_t>(std::lround(std::clamp(*number, -kLimit, kLimit)));
}

std::optional<int32_t> PixelProperty(TBrowserObject& object, std::string_view name) {
  return PixelOf(object.GetProperty(name).get());
}

bool Overlap(const TBox& a, const TBox& b) {
  return a.Left < b.Left + b.Width && b.Left < a.Left + a.Width && a.Top < b.Top + b.Height &&
         b.Top < a.Top + a.Height;
}

}  // namespace

TPluginHostWindow::TPluginHostWindow(NPP instance, TWindowSystem& windows)
    : Instance_(instance), Windows_(windows) {
  NPBool xembed = 0;
  if (NPN_GetValue(instance, NPNVSupportsXEmbedBool, &xembed) != NPERR_NO_ERROR) xembed = 0;
  uint32_t toolkit = 0;
  if (NPN_GetValue(instance, NPNVToolkit, &toolkit) != NPERR_NO_ERROR) toolkit = 0;
  if (BrowserGivesPluginWindows(xembed != 0, toolkit)) return;
  // Only a browser that takes the declaration hosts us windowless; one that
  // refuses it may still hand over a window, which is then used.
  Windowless_ = NPN_SetValue(instance, NPPVpluginWindowBool, nullptr) == NPERR_NO_ERROR;
}

TPluginHostWindow::~TPluginHostWindow() {
  Element_.reset();
  if (Own_ != 0) Windows_.DestroyWindow(Own_);
}

NPWindow TPluginHostWindow::Adopt(const NPWindow& given) {
  if (!Windowless_) return given;
  if (Own_ != 0 && !Windows_.IsWindow(Own_)) {
    // Gone with the browser's window: made again below.
    Own_ = 0;
    Placed_.reset();
  }
  if (Own_ == 0) {
    TWindowHandle top_level = 0;
    if (NPN_GetValue(Instance_, NPNVnetscapeWindow, &top_level) == NPERR_NO_ERROR && top_level != 0) {
      const auto width = static_cast<int32_t>(std::min<uint32_t>(given.width, INT32_MAX));
      const auto height = static_cast<int32_t>(std::min<uint32_t>(given.height, INT32_MAX));
      Own_ = Windows_.CreatePlainWindow(top_level, 0, 0, width, height);
      if (Own_ != 0) Windows_.ShowWindow(Own_, false);
      Shown_ = false;
    }
  }
  NPWindow adopted = given;
  adopted.window = reinterpret_cast<void*>(Own_);
  adopted.x = Placed_ ? Placed_->Left : 0;
  adopted.y = Placed_ ? Placed_->Top : 0;
  return adopted;
}

bool TPluginHostWindow::FollowElement(TPlugin& plugin) {
  if (!Windowless_ || Own_ == 0) return false;
  // A page that will not say where the element is must not stop the tick.
  std::optional<TBox> box;
  try {
    box = ElementBox();
  } catch (const std::exception&) {
  }
  if (!box) return false;
  bool resized = false;
  if (box != Placed_ && box->Width > 0 && box->Height > 0) {
    resized = !Placed_ || Placed_->Width != box->Width || Placed_->Height != box->Height;
    Windows_.MoveWindow(Own_, box->Left, box->Top, box->Width, box->Height);
    Placed_ = box;
  }
  // Without the view's size the box counts as in view.
  const std::optional<TBox> view = ViewBox(plugin);
  const bool visible = box->Width > 0 && box->Height > 0 && (!view || Overlap(*box, *view));
  if (visible != Shown_) {
    Windows_.ShowWindow(Own_, visible);
    Shown_ = visible;
  }
  return resized;
}

// The element's getBoundingClientRect(), in the view's pixels.
std::optional<TBox> TPluginHostWindow::ElementBox() {
  if (!Element_) {
    ::NPObject* element = nullptr;
    if (NPN_GetValue(Instance_, NPNVPluginElementNPObject, &element) != NPERR_NO_ERROR || element == nullptr)
      return std::nullopt;
    Element_ = TBrowserObject::Adopt(Instance_, element);
  }
  std::unique_ptr<INPPropRes> rect = Element_->Invoke("getBoundingClientRect", {});
  if (!rect || rect->GetKind() != pkObject) return std::nullopt;
  TBrowserObject& object = *rect->GetObject();
  const auto left = PixelProperty(object, "left");
  const auto top = PixelProperty(object, "top");
  const auto width = PixelProperty(object, "width");
  const auto height = PixelProperty(object, "height");
  if (!left || !top || !width || !height) return std::nullopt;
  return TBox{*left, *top, std::max(*width, 0), std::max(*height, 0)};
}

std::optional<TBox> TPluginHostWindow::ViewBox(TPlugin& plugin) {
  try {
    TBrowserObject& window = plugin.WindowObject();
    const auto width = PixelProperty(window, "innerWidth");
    const auto height = PixelProperty(window, "innerHeight");
    if (!width || !height) return std::nullopt;
    return TBox{0, 0, *width, *height};
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace qel
