#include "platform/posix/X11Canvas.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <bit>
#include <map>
#include <string>
#include <vector>

namespace qel {
namespace {

// Fonts by pixel height, closed before the connection is.
class TFontCache {
 public:
  ~TFontCache() {
    for (const auto& [height, font] : Fonts_)
      if (font != nullptr) XftFontClose(Display_, font);
  }
  XftFont* Get(Display* display, int pixel_height) {
    Display_ = display;
    const auto found = Fonts_.find(pixel_height);
    if (found != Fonts_.end()) return found->second;
    const std::string name = "sans-serif:pixelsize=" + std::to_string(pixel_height);
    XftFont* font = XftFontOpenName(display, DefaultScreen(display), name.c_str());
    if (font == nullptr) font = XftFontOpenXlfd(display, DefaultScreen(display), "fixed");
    Fonts_[pixel_height] = font;
    return font;
  }

 private:
  Display* Display_ = nullptr;
  std::map<int, XftFont*> Fonts_;
};

// Label texts are short; a longer one is cut rather than measured at length.
int TextLength(std::string_view text) { return static_cast<int>(std::min<size_t>(text.size(), 4096)); }

const FcChar8* TextBytes(std::string_view text) { return reinterpret_cast<const FcChar8*>(text.data()); }

XRenderColor RenderColorOf(TColor color) {
  // 8-bit channels widened to 16 bits: 0xAB becomes 0xABAB.
  return {static_cast<unsigned short>(RedOf(color) * 257), static_cast<unsigned short>(GreenOf(color) * 257),
          static_cast<unsigned short>(BlueOf(color) * 257), 0xFFFF};
}

}  // namespace

XftFont* LabelFont(Display* display, int pixel_height) {
  static TFontCache fonts;
  return fonts.Get(display, std::clamp(pixel_height, 1, 1000));
}

TWindowSize LabelTextSize(Display* display, std::string_view text, int pixel_height) {
  XftFont* font = LabelFont(display, pixel_height);
  if (font == nullptr) return {};
  XGlyphInfo extents{};
  XftTextExtents8(display, font, TextBytes(text), TextLength(text), &extents);
  return {extents.xOff, font->ascent + font->descent};
}

TX11Canvas::TX11Canvas(Display* display, Window window, const XWindowAttributes& attributes)
    : Display_(display),
      Window_(window),
      Visual_(attributes.visual),
      Depth_(attributes.depth),
      Colormap_(attributes.colormap),
      Gc_(XCreateGC(display, window, 0, nullptr)) {
  if (Visual_->c_class == TrueColor || Visual_->c_class == DirectColor) {
    for (auto [mask, channel] : {std::pair{Visual_->red_mask, &Red_}, std::pair{Visual_->green_mask, &Green_},
                                 std::pair{Visual_->blue_mask, &Blue_}}) {
      channel->Shift = mask == 0 ? 0 : std::countr_zero(mask);
      channel->Bits = std::popcount(mask);
    }
    const unsigned long depth_mask = Depth_ >= 64 ? ~0ul : (1ul << Depth_) - 1;
    OpaqueBits_ = depth_mask & ~(Visual_->red_mask | Visual_->green_mask | Visual_->blue_mask);
  }
}

TX11Canvas::~TX11Canvas() {
  if (TextDraw_ != nullptr) XftDrawDestroy(TextDraw_);
  XFreeGC(Display_, Gc_);
}

unsigned long TX11Canvas::PixelOf(TColor color) const {
  const auto place = [](uint8_t value, const TChannel& channel) {
    const unsigned long bits = channel.Bits >= 8 ? static_cast<unsigned long>(value) << (channel.Bits - 8)
                                                 : static_cast<unsigned long>(value) >> (8 - channel.Bits);
    return channel.Bits == 0 ? 0ul : bits << channel.Shift;
  };
  return OpaqueBits_ | place(RedOf(color), Red_) | place(GreenOf(color), Green_) | place(BlueOf(color), Blue_);
}

void TX11Canvas::DrawBitmap(int32_t x, int32_t y, const TBitmap& bitmap, const TRect& area) {
  const TRect from = Intersection(area, bitmap.Bounds());
  if (from.Empty()) return;
  const int32_t width = from.Width();
  const int32_t height = from.Height();
  XImage* image = XCreateImage(Display_, Visual_, static_cast<unsigned>(Depth_), ZPixmap, 0, nullptr,
                               static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
  if (image == nullptr) return;
  std::vector<char> data(static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(height));
  image->data = data.data();
  // The common case, 32-bit pixels in this machine's byte order, is written
  // directly; any other format goes through Xlib pixel by pixel.
  const bool direct = image->bits_per_pixel == 32 && image->byte_order == (std::endian::native == std::endian::little ? LSBFirst : MSBFirst);
  for (int32_t row = 0; row < height; ++row) {
    const uint8_t* bgr = bitmap.Row(from.Top + row) + from.Left * 3;
    auto* out = reinterpret_cast<uint32_t*>(data.data() + static_cast<size_t>(row) * image->bytes_per_line);
    for (int32_t column = 0; column < width; ++column, bgr += 3) {
      const unsigned long pixel = PixelOf(RgbColor(bgr[2], bgr[1], bgr[0]));
      if (direct)
        out[column] = static_cast<uint32_t>(pixel);
      else
        XPutPixel(image, column, row, pixel);
    }
  }
  XPutImage(Display_, Window_, Gc_, image, 0, 0, x + (from.Left - area.Left), y + (from.Top - area.Top),
            static_cast<unsigned>(width), static_cast<unsigned>(height));
  image->data = nullptr;  // the vector owns it
  XDestroyImage(image);
}

void TX11Canvas::FillRect(const TRect& rect, TColor color) {
  if (rect.Empty()) return;
  XSetForeground(Display_, Gc_, PixelOf(color));
  XFillRectangle(Display_, Window_, Gc_, rect.Left, rect.Top, static_cast<unsigned>(rect.Width()),
                 static_cast<unsigned>(rect.Height()));
}

void TX11Canvas::DrawLabel(int32_t x, int32_t y, std::string_view text, int32_t font_height, TColor color,
                          TColor background) {
  XftFont* font = LabelFont(Display_, font_height);
  if (font == nullptr) return;
  const TWindowSize box = LabelTextSize(Display_, text, font_height);
  FillRect(TRect::OfSize(x, y, box.Width, box.Height), background);
  if (TextDraw_ == nullptr) TextDraw_ = XftDrawCreate(Display_, Window_, Visual_, Colormap_);
  if (TextDraw_ == nullptr) return;
  const XRenderColor render_color = RenderColorOf(color);
  XftColor text_color;
  if (!XftColorAllocValue(Display_, Visual_, Colormap_, &render_color, &text_color)) return;
  XftDrawString8(TextDraw_, &text_color, font, x, y + font->ascent, TextBytes(text), TextLength(text));
  XftColorFree(Display_, Visual_, Colormap_, &text_color);
}

}  // namespace qel
