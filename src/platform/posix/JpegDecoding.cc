// JPEG pictures through libjpeg. libjpeg reports a fatal error through
// error_exit, which by default prints and ends the process; here it jumps
// back to the guard around the libjpeg call that failed, as libjpeg's own
// example does. Warnings that mean the data is damaged or cut short are made
// fatal the same way, so that such a picture is refused rather than shown
// with grey or smeared parts. Nothing is ever printed.
#include "platform/PictureDecoding.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>  // jpeglib.h uses FILE and size_t without including them
#include <vector>

#include <jpeglib.h>
// After jpeglib.h: its configuration decides which message codes exist.
#include <jerror.h>

namespace qel {
namespace {

// A progressive file costs a pass over its whole picture for each scan. Ten
// or so are usual; hundreds only burn the processor.
constexpr int kMaxScans = 100;

bool FitsLimits(JDIMENSION width, JDIMENSION height) {
  return width <= static_cast<JDIMENSION>(kMaxPictureSide) &&
         height <= static_cast<JDIMENSION>(kMaxPictureSide) &&
         int64_t{width} * int64_t{height} <= kMaxPicturePixels;
}

// Everything libjpeg works on, as plain C data: a jump back to a guard skips
// no destructor.
struct TJpegState {
  jpeg_decompress_struct Info;
  jpeg_error_mgr Errors;
  jpeg_progress_mgr Progress;
  jmp_buf Guard;
};

TJpegState& StateOf(j_common_ptr info) { return *static_cast<TJpegState*>(info->client_data); }

[[noreturn]] void JumpToGuard(j_common_ptr info) { longjmp(StateOf(info).Guard, 1); }

void PrintNothing(j_common_ptr) {}

bool MeansDamagedData(int code) {
  switch (code) {
    case JWRN_JPEG_EOF:           // the data ends before the picture does
    case JWRN_HIT_MARKER:         // a scan ends before its blocks do
    case JWRN_HUFF_BAD_CODE:      // scan data that is no Huffman code
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:        // restart markers out of order
    case JWRN_EXTRANEOUS_DATA:    // garbage between markers
    case JWRN_NOT_SEQUENTIAL:     // scan parameters that make no sense
    case JWRN_BOGUS_PROGRESSION:  // progressive scans in an impossible order
      return true;
    default:  // e.g. an unknown JFIF version or Adobe transform: harmless
      return false;
  }
}

// Level -1 is a warning; other levels are trace messages.
void RefuseDamagedData(j_common_ptr info, int level) {
  if (level < 0 && MeansDamagedData(info->err->msg_code)) info->err->error_exit(info);
}

void LimitScans(j_common_ptr info) {
  if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxScans)
    info->err->error_exit(info);
}

// Owns the libjpeg decompressor; destroying one that was never created, or
// whose creation failed half way, is safe because the state starts zeroed.
class TJpegDecompressor {
 public:
  TJpegDecompressor() {
    jpeg_std_error(&State_.Errors);
    State_.Errors.error_exit = JumpToGuard;
    State_.Errors.output_message = PrintNothing;
    State_.Errors.emit_message = RefuseDamagedData;
    State_.Info.err = &State_.Errors;
    State_.Info.client_data = &State_;
    State_.Progress.progress_monitor = LimitScans;
  }
  ~TJpegDecompressor() { jpeg_destroy_decompress(&State_.Info); }
  TJpegDecompressor(const TJpegDecompressor&) = delete;
  TJpegDecompressor& operator=(const TJpegDecompressor&) = delete;

  TJpegState* State() { return &State_; }

 private:
  TJpegState State_{};
};

// Runs one step of libjpeg work; false when libjpeg gave up on the data.
// Neither this function nor any step holds an object with a destructor, and
// nothing here is changed between setjmp and the jump back.
bool RunGuarded(TJpegState* state, void (*step)(TJpegState*, void*), void* context) {
  if (setjmp(state->Guard) != 0) return false;
  step(state, context);
  return true;
}

struct THeaderStep {
  const uint8_t* Data;
  size_t Size;
};

void ReadHeader(TJpegState* state, void* context) {
  const auto* input = static_cast<const THeaderStep*>(context);
  // jpeg_create_decompress zeroes the structure but keeps err and client_data.
  jpeg_create_decompress(&state->Info);
  state->Info.progress = &state->Progress;
  jpeg_mem_src(&state->Info, input->Data, input->Size);
  // With an image required, anything but a whole header is an error.
  jpeg_read_header(&state->Info, TRUE);
}

void StartDecompress(TJpegState* state, void*) { jpeg_start_decompress(&state->Info); }

struct TRowsStep {
  TBitmap* Colors;
  uint8_t* InkRow;  // one CMYK row, or null when libjpeg writes BGR itself
  bool InvertedInk;
};

// Adobe's programs store CMYK inverted (255 is no ink) and say so in their
// APP14 marker; without it the values are taken as plain ink amounts. The
// conversion is the naive one, without a colour profile.
void InkRowToBgr(const uint8_t* ink, uint8_t* bgr, JDIMENSION width, bool inverted) {
  for (JDIMENSION x = 0; x < width; ++x, ink += 4, bgr += 3) {
    const unsigned flip = inverted ? 0 : 255;
    const unsigned cyan = ink[0] ^ flip, magenta = ink[1] ^ flip, yellow = ink[2] ^ flip;
    const unsigned black = ink[3] ^ flip;
    bgr[0] = static_cast<uint8_t>((yellow * black + 127) / 255);
    bgr[1] = static_cast<uint8_t>((magenta * black + 127) / 255);
    bgr[2] = static_cast<uint8_t>((cyan * black + 127) / 255);
  }
}

void ReadRows(TJpegState* state, void* context) {
  const auto* output = static_cast<const TRowsStep*>(context);
  jpeg_decompress_struct& info = state->Info;
  while (info.output_scanline < info.output_height) {
    uint8_t* bgr = output->Colors->Row(static_cast<int32_t>(info.output_scanline));
    JSAMPROW row = output->InkRow != nullptr ? output->InkRow : bgr;
    // Memory input never suspends, so every call gives a row.
    jpeg_read_scanlines(&info, &row, 1);
    if (output->InkRow != nullptr)
      InkRowToBgr(output->InkRow, bgr, info.output_width, output->InvertedInk);
  }
  // Reads on to the end marker: damage after the last row refuses the
  // picture too.
  jpeg_finish_decompress(&info);
}

}  // namespace

std::optional<TPicture> DecodeJpeg(std::span<const uint8_t> data) {
  TJpegDecompressor decompressor;
  TJpegState* state = decompressor.State();
  THeaderStep header{data.data(), data.size()};
  if (!RunGuarded(state, ReadHeader, &header)) return std::nullopt;

  jpeg_decompress_struct& info = state->Info;
  if (!FitsLimits(info.image_width, info.image_height)) return std::nullopt;
  bool ink = false;
  switch (info.jpeg_color_space) {
    case JCS_GRAYSCALE:
    case JCS_YCbCr:
    case JCS_RGB:
      info.out_color_space = JCS_EXT_BGR;
      break;
    case JCS_CMYK:
    case JCS_YCCK:  // libjpeg turns YCCK into CMYK, not into RGB
      info.out_color_space = JCS_CMYK;
      ink = true;
      break;
    default:
      return std::nullopt;
  }
  if (!RunGuarded(state, StartDecompress, nullptr)) return std::nullopt;
  if (info.output_width != info.image_width || info.output_height != info.image_height ||
      info.output_components != (ink ? 4 : 3))
    return std::nullopt;

  const auto width = static_cast<int32_t>(info.output_width);
  TPicture picture{TBitmap(width, static_cast<int32_t>(info.output_height)), {}};
  std::vector<uint8_t> ink_row(ink ? static_cast<size_t>(width) * 4 : 0);
  TRowsStep rows{&picture.Colors, ink ? ink_row.data() : nullptr, info.saw_Adobe_marker != 0};
  if (!RunGuarded(state, ReadRows, &rows)) return std::nullopt;
  return picture;
}

}  // namespace qel
