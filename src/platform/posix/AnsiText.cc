#include "platform/AnsiText.h"

#include <glib.h>
#include <iconv.h>
#include <langinfo.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/Error.h"

namespace qel {
namespace {

constexpr bool kLittleEndian = std::endian::native == std::endian::little;
// Native byte order, so that iconv's output is a valid char16_t/char32_t text
// and no byte-order mark is written.
constexpr const char* kUtf16 = kLittleEndian ? "UTF-16LE" : "UTF-16BE";
constexpr const char* kUtf32 = kLittleEndian ? "UTF-32LE" : "UTF-32BE";
constexpr const char* kUtf8 = "UTF-8";

constexpr std::size_t kNoConversion = static_cast<std::size_t>(-1);

// One conversion direction. Descriptors are opened per call: they carry
// shift state and must not be shared between threads.
class TIconv {
 public:
  TIconv(const std::string& from, const std::string& to)
      : Handle_(iconv_open(to.c_str(), from.c_str())) {
    if (Handle_ == reinterpret_cast<iconv_t>(-1))
      throw EQelError("no conversion from " + from + " to " + to);
  }
  ~TIconv() { iconv_close(Handle_); }
  TIconv(const TIconv&) = delete;
  TIconv& operator=(const TIconv&) = delete;

  std::size_t Convert(const char** in, std::size_t* in_left, char** out, std::size_t* out_left) {
    return iconv(Handle_, const_cast<char**>(in), in_left, out, out_left);
  }
  // Writes what returns a stateful encoding to its initial state.
  std::size_t Finish(char** out, std::size_t* out_left) {
    return iconv(Handle_, nullptr, nullptr, out, out_left);
  }

 private:
  iconv_t Handle_;
};

// Converts between two encodings whose units are In and Out. A unit iconv
// refuses is replaced by one '?' and skipped; callers make sure that a refusal
// means one bad unit: decoding goes into UTF-32 (which holds everything), so
// a refusal there is an invalid input byte; encoding starts from UTF-32, so
// a refusal there is one character the target cannot hold.
template <class Out, class In>
std::basic_string<Out> Convert(std::basic_string_view<In> text, const std::string& from,
                               const std::string& to) {
  std::basic_string<Out> result;
  if (text.empty()) return result;
  TIconv converter(from, to);

  result.resize(text.size() + 16);
  std::size_t produced = 0;  // bytes
  const auto base = [&] { return reinterpret_cast<char*>(result.data()); };
  const auto room = [&] { return result.size() * sizeof(Out) - produced; };
  const auto grow = [&] { result.resize(result.size() * 2); };

  const char* in = reinterpret_cast<const char*>(text.data());
  std::size_t in_left = text.size() * sizeof(In);
  while (in_left > 0) {
    char* out = base() + produced;
    std::size_t out_left = room();
    const std::size_t outcome = converter.Convert(&in, &in_left, &out, &out_left);
    const int failure = errno;
    produced = out - base();
    if (outcome != kNoConversion) continue;
    if (failure == E2BIG) {
      grow();
      continue;
    }
    // EILSEQ, EINVAL (a sequence cut short by the end) or anything unforeseen:
    // always step forward, so the loop ends.
    const std::size_t skip = std::min(sizeof(In), in_left);
    in += skip;
    in_left -= skip;
    if (room() < sizeof(Out)) grow();
    const Out question = Out('?');
    std::memcpy(base() + produced, &question, sizeof(Out));
    produced += sizeof(Out);
  }
  for (;;) {
    char* out = base() + produced;
    std::size_t out_left = room();
    const std::size_t outcome = converter.Finish(&out, &out_left);
    const int failure = errno;
    produced = out - base();
    if (outcome != kNoConversion || failure != E2BIG) break;
    grow();
  }
  result.resize(produced / sizeof(Out));
  return result;
}

std::u32string Decode(std::string_view text, const std::string& charset) {
  return Convert<char32_t>(text, charset, kUtf32);
}

std::u32string Decode(std::u16string_view text) { return Convert<char32_t>(text, kUtf16, kUtf32); }

template <class Out>
std::basic_string<Out> Encode(const std::u32string& text, const std::string& charset) {
  return Convert<Out, char32_t>(text, kUtf32, charset);
}

std::mutex& OverrideMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string& OverrideCharset() {
  static std::string charset;
  return charset;
}

std::string LocaleCharset() {
  const char* codeset = nl_langinfo(CODESET);
  // A host that never set a locale runs in the C locale, whose codeset is
  // plain ASCII; taking that literally would turn every non-ASCII character
  // of the pages' UTF-8 text into '?', so ASCII is read as UTF-8 instead.
  if (codeset == nullptr || *codeset == '\0' || g_ascii_strcasecmp(codeset, "ANSI_X3.4-1968") == 0 ||
      g_ascii_strcasecmp(codeset, "ASCII") == 0 || g_ascii_strcasecmp(codeset, "US-ASCII") == 0)
    return kUtf8;
  return codeset;
}

// Decodes one character of `in` (advancing past it) into `points`; answers
// false, consuming nothing, when no character starts there.
bool DecodeOneCharacter(TIconv& decoder, const char** in, std::size_t* in_left,
                        std::array<char32_t, 4>& points, std::size_t* count) {
  // Room for one code point makes iconv stop after one character; a
  // character that decodes to several code points gets more room.
  for (std::size_t capacity = 1; capacity <= points.size(); ++capacity) {
    const char* start = *in;
    char* out = reinterpret_cast<char*>(points.data());
    std::size_t out_left = capacity * sizeof(char32_t);
    const std::size_t outcome = decoder.Convert(in, in_left, &out, &out_left);
    const int failure = errno;
    *count = (capacity * sizeof(char32_t) - out_left) / sizeof(char32_t);
    if (*in != start) return true;
    if (outcome != kNoConversion || failure != E2BIG) break;
  }
  return false;
}

bool EncodeCharacter(TIconv& encoder, const std::array<char32_t, 4>& points, std::size_t count,
                     std::string& result) {
  std::array<char, 32> buffer;
  const char* in = reinterpret_cast<const char*>(points.data());
  std::size_t in_left = count * sizeof(char32_t);
  char* out = buffer.data();
  std::size_t out_left = buffer.size();
  if (encoder.Convert(&in, &in_left, &out, &out_left) == kNoConversion) return false;
  result.append(buffer.data(), out - buffer.data());
  return true;
}

}  // namespace

std::string AnsiCharset() {
  {
    std::lock_guard lock(OverrideMutex());
    if (!OverrideCharset().empty()) return OverrideCharset();
  }
  return LocaleCharset();
}

void SetAnsiCharsetForTesting(std::string_view charset) {
  const std::string name(charset);
  if (!name.empty()) TIconv check(name, kUtf8);  // a misspelt name fails here, not later
  std::lock_guard lock(OverrideMutex());
  OverrideCharset() = name;
}

std::string AnsiToUtf8(std::string_view ansi) { return Encode<char>(Decode(ansi, AnsiCharset()), kUtf8); }

std::string Utf8ToAnsi(std::string_view utf8) { return Encode<char>(Decode(utf8, kUtf8), AnsiCharset()); }

std::u16string AnsiToUtf16(std::string_view ansi) {
  return Encode<char16_t>(Decode(ansi, AnsiCharset()), kUtf16);
}

std::string Utf16ToAnsi(std::u16string_view wide) { return Encode<char>(Decode(wide), AnsiCharset()); }

std::u16string Utf8ToUtf16(std::string_view utf8) { return Encode<char16_t>(Decode(utf8, kUtf8), kUtf16); }

std::string Utf16ToUtf8(std::u16string_view wide) { return Encode<char>(Decode(wide), kUtf8); }

std::string AnsiLowerCase(std::string_view ansi) {
  std::string result;
  if (ansi.empty()) return result;
  const std::string charset = AnsiCharset();
  TIconv decoder(charset, kUtf32);
  TIconv encoder(kUtf32, charset);
  result.reserve(ansi.size());

  // Character by character, so that what has no lower case, or one the
  // character set cannot hold, or is no character at all keeps its bytes.
  const char* in = ansi.data();
  std::size_t in_left = ansi.size();
  while (in_left > 0) {
    const char* start = in;
    std::array<char32_t, 4> points{};
    std::size_t count = 0;
    if (!DecodeOneCharacter(decoder, &in, &in_left, points, &count)) {
      result.push_back(*in);
      ++in;
      --in_left;
      continue;
    }
    bool changed = false;
    for (std::size_t i = 0; i < count; ++i) {
      const char32_t lower = g_unichar_tolower(points[i]);
      changed = changed || lower != points[i];
      points[i] = lower;
    }
    if (!changed || !EncodeCharacter(encoder, points, count, result)) result.append(start, in - start);
  }
  return result;
}

}  // namespace qel
