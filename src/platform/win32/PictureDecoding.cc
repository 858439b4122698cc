// JPEG and PNG pictures through the Windows Imaging Component. Each call
// makes its own factory in COM for the calling thread, so that it may run on
// any thread. The decoder must be of the kind asked for: a PNG is no JPEG,
// however willing the component would be to decode it. The size is checked
// against the limits before a pixel is copied; the component's own checks
// refuse most truncated and corrupt data, which surfaces as a failed call;
// a JPEG cut short before its end marker, or of too many scans, is refused
// before it gets there. Damaged entropy-coded data inside a complete JPEG is
// the component's to judge, and it may show such a picture with the damage in
// it.
#include "platform/PictureDecoding.h"

#include <wincodec.h>
#include <windows.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstddef>
#include <new>
#include <vector>

#include "platform/Error.h"
#include "platform/win32/ComApartment.h"
#include "platform/win32/JpegStructure.h"

namespace qel {
namespace {

using Microsoft::WRL::ComPtr;

// Ten or so scans are usual in a progressive file; hundreds only burn the
// processor.
constexpr int kMaxJpegScans = 100;

// The formats the component's decoders give for pictures with an alpha
// channel, whether from the file's colour type or from a tRNS chunk. Indexed
// formats carry their alpha in the palette instead.
const GUID* const kAlphaFormats[] = {
    &GUID_WICPixelFormat32bppBGRA,  &GUID_WICPixelFormat32bppRGBA,
    &GUID_WICPixelFormat32bppPBGRA, &GUID_WICPixelFormat32bppPRGBA,
    &GUID_WICPixelFormat64bppRGBA,  &GUID_WICPixelFormat64bppBGRA,
    &GUID_WICPixelFormat64bppPRGBA, &GUID_WICPixelFormat64bppPBGRA,
};

bool FitsLimits(UINT width, UINT height) {
  return width > 0 && height > 0 && width <= static_cast<UINT>(kMaxPictureSide) &&
         height <= static_cast<UINT>(kMaxPictureSide) &&
         int64_t{width} * int64_t{height} <= kMaxPicturePixels;
}

bool IsIndexed(const WICPixelFormatGUID& format) {
  return format == GUID_WICPixelFormat1bppIndexed || format == GUID_WICPixelFormat2bppIndexed ||
         format == GUID_WICPixelFormat4bppIndexed || format == GUID_WICPixelFormat8bppIndexed;
}

bool HasAlphaChannel(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame,
                     const WICPixelFormatGUID& format) {
  for (const GUID* alpha_format : kAlphaFormats)
    if (format == *alpha_format) return true;
  if (!IsIndexed(format)) return false;
  ComPtr<IWICPalette> palette;
  BOOL palette_alpha = FALSE;
  return SUCCEEDED(factory->CreatePalette(&palette)) && SUCCEEDED(frame->CopyPalette(palette.Get())) &&
         SUCCEEDED(palette->HasAlpha(&palette_alpha)) && palette_alpha;
}

// The first frame of `data`, when the component finds a decoder of the
// `container` kind for it.
ComPtr<IWICBitmapFrameDecode> FirstFrame(IWICImagingFactory* factory, std::span<const uint8_t> data,
                                         const GUID& container) {
  ComPtr<IWICStream> stream;
  // The stream only reads: the cast is for the component's signature.
  if (FAILED(factory->CreateStream(&stream)) ||
      FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(data.data()),
                                          static_cast<DWORD>(data.size()))))
    return nullptr;
  ComPtr<IWICBitmapDecoder> decoder;
  GUID found{};
  if (FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                              &decoder)) ||
      FAILED(decoder->GetContainerFormat(&found)) || found != container)
    return nullptr;
  ComPtr<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder->GetFrame(0, &frame))) return nullptr;
  return frame;
}

// Pixels are fetched this many bytes at a time, so that converting a large
// picture costs little more memory than the picture itself.
constexpr size_t kStripBytes = size_t{1} << 20;

// Hands `take` the rows of `source`, a source of 4 bytes a pixel, a strip at
// a time: take(first row, rows, pixels).
template <typename TTake>
bool ReadInStrips(IWICBitmapSource* source, UINT width, UINT height, TTake take) {
  const UINT stride = width * 4;
  const UINT strip_rows = std::max<UINT>(1, static_cast<UINT>(kStripBytes / stride));
  std::vector<uint8_t> strip(size_t{stride} * std::min(strip_rows, height));
  for (UINT y = 0; y < height; y += strip_rows) {
    const UINT rows = std::min(strip_rows, height - y);
    const WICRect area{0, static_cast<INT>(y), static_cast<INT>(width), static_cast<INT>(rows)};
    if (FAILED(source->CopyPixels(&area, stride, stride * rows, strip.data()))) return false;
    take(y, rows, strip.data());
  }
  return true;
}

// The component's CMYK is ink amounts, 255 for full ink, whatever the file
// stored (Adobe's inverted form included). Its own conversion to RGB differs
// between versions; this is the naive one without a colour profile, as on
// every system.
void InkToBgr(const uint8_t* ink, uint8_t* bgr, UINT width) {
  for (UINT x = 0; x < width; ++x, ink += 4, bgr += 3) {
    const unsigned paper = 255 - ink[3];
    bgr[0] = static_cast<uint8_t>(((255 - ink[2]) * paper + 127) / 255);
    bgr[1] = static_cast<uint8_t>(((255 - ink[1]) * paper + 127) / 255);
    bgr[2] = static_cast<uint8_t>(((255 - ink[0]) * paper + 127) / 255);
  }
}

bool ReadInk(IWICBitmapFrameDecode* frame, TPicture& picture) {
  const auto width = static_cast<UINT>(picture.Width());
  return ReadInStrips(frame, width, static_cast<UINT>(picture.Height()),
                      [&](UINT first, UINT rows, const uint8_t* ink) {
                        for (UINT y = first; y < first + rows; ++y, ink += size_t{width} * 4)
                          InkToBgr(ink, picture.Colors.Row(static_cast<int32_t>(y)), width);
                      });
}

// Any other format, through straight BGRA: colour under a transparent pixel
// stays as the file has it.
bool ReadConverted(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame, bool keep_alpha,
                   TPicture& picture) {
  ComPtr<IWICFormatConverter> converter;
  if (FAILED(factory->CreateFormatConverter(&converter)) ||
      FAILED(converter->Initialize(frame, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                   nullptr, 0.0, WICBitmapPaletteTypeCustom)))
    return false;
  const auto width = static_cast<UINT>(picture.Width());
  if (keep_alpha) picture.Alpha.resize(size_t{width} * static_cast<size_t>(picture.Height()));
  return ReadInStrips(converter.Get(), width, static_cast<UINT>(picture.Height()),
                      [&](UINT first, UINT rows, const uint8_t* from) {
                        for (UINT y = first; y < first + rows; ++y) {
                          uint8_t* to = picture.Colors.Row(static_cast<int32_t>(y));
                          uint8_t* alpha = keep_alpha ? picture.Alpha.data() + size_t{y} * width : nullptr;
                          for (UINT x = 0; x < width; ++x, from += 4, to += 3) {
                            to[0] = from[0];
                            to[1] = from[1];
                            to[2] = from[2];
                            if (alpha != nullptr) alpha[x] = from[3];
                          }
                        }
                      });
}

std::optional<TPicture> Decode(std::span<const uint8_t> data, const GUID& container,
                               bool may_have_alpha) {
  // The component reads from memory through a 32-bit length.
  if (data.empty() || data.size() > MAXDWORD) return std::nullopt;
  const TComApartment com;
  ComPtr<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&factory))))
    return std::nullopt;
  const ComPtr<IWICBitmapFrameDecode> frame = FirstFrame(factory.Get(), data, container);
  UINT width = 0, height = 0;
  WICPixelFormatGUID format{};
  if (!frame || FAILED(frame->GetSize(&width, &height)) || !FitsLimits(width, height) ||
      FAILED(frame->GetPixelFormat(&format)))
    return std::nullopt;

  TPicture picture{TBitmap(static_cast<int32_t>(width), static_cast<int32_t>(height)), {}};
  const bool read = format == GUID_WICPixelFormat32bppCMYK
                        ? ReadInk(frame.Get(), picture)
                        : ReadConverted(factory.Get(), frame.Get(),
                                        may_have_alpha && HasAlphaChannel(factory.Get(), frame.Get(), format),
                                        picture);
  if (!read) return std::nullopt;
  return picture;
}

// Callers take any failure, of COM or of memory for a large picture, as no
// picture, as they do on every system.
std::optional<TPicture> DecodeOrNothing(std::span<const uint8_t> data, const GUID& container,
                                        bool may_have_alpha) {
  try {
    return Decode(data, container, may_have_alpha);
  } catch (const EQelError&) {
    return std::nullopt;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

}  // namespace

std::optional<TPicture> DecodeJpeg(std::span<const uint8_t> data) {
  const TJpegOutline outline = OutlineJpeg(data);
  if (!outline.ReachesEndMarker || outline.Scans > kMaxJpegScans) return std::nullopt;
  return DecodeOrNothing(data, GUID_ContainerFormatJpeg, false);
}

std::optional<TPicture> DecodePng(std::span<const uint8_t> data) {
  return DecodeOrNothing(data, GUID_ContainerFormatPng, true);
}

}  // namespace qel
