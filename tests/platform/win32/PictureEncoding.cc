// The test pictures on Windows, encoded by the Windows Imaging Component's
// own JPEG and PNG encoders, which take pixels in their formats (blue first,
// 16-bit samples little-endian, ink rather than Adobe's inverted ink). They
// make baseline JPEG only, and no PNG of grey with alpha or with a gamma
// chunk: a test that asks for one gets an exception (CanEncode tells first).
#include "PictureEncoding.h"

#include <wincodec.h>
#include <windows.h>
#include <wrl/client.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include "platform/win32/ComApartment.h"

namespace qel::test {
namespace {

using Microsoft::WRL::ComPtr;

void Check(HRESULT result, const char* what) {
  if (SUCCEEDED(result)) return;
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
  throw std::runtime_error(std::string("encoding a test picture: ") + what + " failed, " + code);
}

// Pixels as an encoder frame takes them.
struct TFramePixels {
  WICPixelFormatGUID Format{};
  UINT Width = 0;
  UINT Height = 0;
  std::vector<uint8_t> Bytes{};
  std::vector<WICColor> Palette{};  // 0xAARRGGBB
};

struct TOption {
  const wchar_t* Name;
  VARIANT Value;
};

std::vector<uint8_t> StreamBytes(IStream* stream) {
  STATSTG stat{};
  Check(stream->Stat(&stat, STATFLAG_NONAME), "measuring the stream");
  HGLOBAL memory = nullptr;
  Check(GetHGlobalFromStream(stream, &memory), "finding the stream's memory");
  const auto* bytes = static_cast<const uint8_t*>(GlobalLock(memory));
  if (bytes == nullptr) throw std::runtime_error("encoding a test picture: the stream's memory is gone");
  std::vector<uint8_t> file(bytes, bytes + stat.cbSize.QuadPart);
  GlobalUnlock(memory);
  return file;
}

std::vector<uint8_t> Encode(const GUID& container, const TFramePixels& pixels,
                            const std::vector<TOption>& options) {
  TComApartment com;
  ComPtr<IWICImagingFactory> factory;
  Check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)),
        "making the imaging factory");
  ComPtr<IStream> stream;
  Check(CreateStreamOnHGlobal(nullptr, TRUE, &stream), "making a memory stream");
  ComPtr<IWICBitmapEncoder> encoder;
  Check(factory->CreateEncoder(container, nullptr, &encoder), "making the encoder");
  Check(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache), "starting the encoder");
  ComPtr<IWICBitmapFrameEncode> frame;
  ComPtr<IPropertyBag2> bag;
  Check(encoder->CreateNewFrame(&frame, &bag), "making a frame");
  for (const TOption& option : options) {
    PROPBAG2 name{};
    name.pstrName = const_cast<LPOLESTR>(option.Name);
    VARIANT value = option.Value;
    Check(bag->Write(1, &name, &value), "setting an encoder option");
  }
  Check(frame->Initialize(bag.Get()), "starting the frame");
  Check(frame->SetSize(pixels.Width, pixels.Height), "sizing the frame");
  WICPixelFormatGUID format = pixels.Format;
  Check(frame->SetPixelFormat(&format), "choosing the pixel format");
  if (format != pixels.Format) throw std::runtime_error("encoding a test picture: the encoder changed the pixel format");
  if (!pixels.Palette.empty()) {
    ComPtr<IWICPalette> palette;
    Check(factory->CreatePalette(&palette), "making a palette");
    Check(palette->InitializeCustom(const_cast<WICColor*>(pixels.Palette.data()),
                                    static_cast<UINT>(pixels.Palette.size())),
          "filling the palette");
    Check(frame->SetPalette(palette.Get()), "giving the frame its palette");
  }
  const UINT stride = static_cast<UINT>(pixels.Bytes.size() / pixels.Height);
  Check(frame->WritePixels(pixels.Height, stride, static_cast<UINT>(pixels.Bytes.size()),
                           const_cast<BYTE*>(pixels.Bytes.data())),
        "writing the pixels");
  Check(frame->Commit(), "finishing the frame");
  Check(encoder->Commit(), "finishing the file");
  return StreamBytes(stream.Get());
}

// Red and blue of each `size`-byte pixel swapped, in samples of `sample` bytes.
void SwapRedAndBlue(std::vector<uint8_t>& bytes, size_t size, size_t sample) {
  for (size_t pixel = 0; pixel + size <= bytes.size(); pixel += size)
    for (size_t i = 0; i < sample; ++i) std::swap(bytes[pixel + i], bytes[pixel + 2 * sample + i]);
}

void SwapSampleBytes(std::vector<uint8_t>& bytes) {
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) std::swap(bytes[i], bytes[i + 1]);
}

VARIANT FloatValue(float value) {
  VARIANT variant{};
  variant.vt = VT_R4;
  variant.fltVal = value;
  return variant;
}

VARIANT BoolValue(bool value) {
  VARIANT variant{};
  variant.vt = VT_BOOL;
  variant.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return variant;
}

GUID PngFormat(const TPngPicture& picture) {
  switch (picture.Colors) {
    case TPngColors::Grey:
      switch (picture.BitDepth) {
        case 1: return GUID_WICPixelFormatBlackWhite;
        case 2: return GUID_WICPixelFormat2bppGray;
        case 4: return GUID_WICPixelFormat4bppGray;
        case 8: return GUID_WICPixelFormat8bppGray;
        default: return GUID_WICPixelFormat16bppGray;
      }
    case TPngColors::Rgb:
      return picture.BitDepth == 16 ? GUID_WICPixelFormat48bppRGB : GUID_WICPixelFormat24bppBGR;
    case TPngColors::Rgba:
      return picture.BitDepth == 16 ? GUID_WICPixelFormat64bppRGBA : GUID_WICPixelFormat32bppBGRA;
    case TPngColors::Palette:
      switch (picture.BitDepth) {
        case 1: return GUID_WICPixelFormat1bppIndexed;
        case 2: return GUID_WICPixelFormat2bppIndexed;
        case 4: return GUID_WICPixelFormat4bppIndexed;
        default: return GUID_WICPixelFormat8bppIndexed;
      }
    default:
      throw std::logic_error("no pixel format for grey with alpha");
  }
}

}  // namespace

bool CanEncode(const TJpegPicture& picture) {
  return !picture.Progressive && !picture.OneScanPerCoefficient && picture.Colors != TJpegColors::Ycck;
}

bool CanEncode(const TPngPicture& picture) {
  return picture.Colors != TPngColors::GreyAlpha && picture.Gamma == 0;
}

std::vector<uint8_t> EncodeJpeg(const TJpegPicture& picture) {
  if (!CanEncode(picture)) throw std::invalid_argument("the imaging component encodes baseline JPEG of grey, RGB or CMYK");
  const size_t components = picture.Colors == TJpegColors::Grey ? 1 : picture.Colors == TJpegColors::Rgb ? 3 : 4;
  const size_t row_bytes = static_cast<size_t>(picture.Width) * components;
  TFramePixels pixels{picture.Colors == TJpegColors::Grey  ? GUID_WICPixelFormat8bppGray
                      : picture.Colors == TJpegColors::Rgb ? GUID_WICPixelFormat24bppBGR
                                                           : GUID_WICPixelFormat32bppCMYK,
                      static_cast<UINT>(picture.Width), static_cast<UINT>(picture.Height)};
  if (picture.Samples.size() == row_bytes) {
    for (int y = 0; y < picture.Height; ++y)
      pixels.Bytes.insert(pixels.Bytes.end(), picture.Samples.begin(), picture.Samples.end());
  } else {
    pixels.Bytes = picture.Samples;
  }
  if (picture.Colors == TJpegColors::Rgb) SwapRedAndBlue(pixels.Bytes, 3, 1);
  if (picture.Colors == TJpegColors::Cmyk)
    for (uint8_t& sample : pixels.Bytes) sample = static_cast<uint8_t>(255 - sample);
  return Encode(GUID_ContainerFormatJpeg, pixels, {{L"ImageQuality", FloatValue(0.95f)}});
}

std::vector<uint8_t> EncodePng(const TPngPicture& picture) {
  if (!CanEncode(picture)) throw std::invalid_argument("the imaging component encodes no grey with alpha and no gamma chunk");
  TFramePixels pixels{PngFormat(picture), static_cast<UINT>(picture.Width),
                      static_cast<UINT>(picture.Height), picture.Rows};
  if (picture.BitDepth == 16) SwapSampleBytes(pixels.Bytes);
  if (picture.Colors == TPngColors::Rgb && picture.BitDepth == 8) SwapRedAndBlue(pixels.Bytes, 3, 1);
  if (picture.Colors == TPngColors::Rgba && picture.BitDepth == 8) SwapRedAndBlue(pixels.Bytes, 4, 1);
  for (size_t i = 0; i + 2 < picture.Palette.size(); i += 3) {
    const size_t entry = i / 3;
    const WICColor alpha = entry < picture.PaletteAlpha.size() ? picture.PaletteAlpha[entry] : 255;
    pixels.Palette.push_back(alpha << 24 | WICColor{picture.Palette[i]} << 16 |
                             WICColor{picture.Palette[i + 1]} << 8 | picture.Palette[i + 2]);
  }
  return Encode(GUID_ContainerFormatPng, pixels, {{L"InterlaceOption", BoolValue(picture.Interlaced)}});
}

}  // namespace qel::test
