// The system's tagged value for what crosses the browser boundary: empty,
// Boolean, integers and floats of several widths, wide and 8-bit text.
// Kinds that the page cannot receive (64-bit integers, dates, ...) still
// exist so that callers can hold them; the bridge passes them as void.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qel {

enum class TVariantKind : uint8_t {
  vkEmpty,
  vkNull,
  vkBoolean,
  vkShortInt,  // signed 8-bit
  vkSmallInt,  // signed 16-bit
  vkInteger,   // signed 32-bit
  vkByte,      // unsigned 8-bit
  vkWord,      // unsigned 16-bit
  vkLongWord,  // unsigned 32-bit
  vkInt64,
  vkSingle,
  vkDouble,
  vkCurrency,
  vkDate,
  vkWideText,
  vkAnsiText,
};

class TVariant {
 public:
  TVariant() = default;

  static TVariant Null();
  static TVariant Boolean(bool value);
  static TVariant ShortInt(int8_t value);
  static TVariant SmallInt(int16_t value);
  static TVariant Integer(int32_t value);
  static TVariant Byte(uint8_t value);
  static TVariant Word(uint16_t value);
  static TVariant LongWord(uint32_t value);
  static TVariant Int64(int64_t value);
  static TVariant Single(float value);
  static TVariant Double(double value);
  static TVariant Currency(int64_t ten_thousandths);
  static TVariant Date(double days);
  static TVariant WideText(std::u16string value);
  static TVariant AnsiText(std::string value);

  TVariantKind Kind() const { return Kind_; }
  bool IsEmpty() const { return Kind_ == TVariantKind::vkEmpty; }
  bool IsInteger() const;  // any of the integer kinds
  bool IsFloat() const;    // single or double
  // A number of any integer or float kind as a double; nothing for the rest.
  std::optional<double> AsNumber() const;

  bool AsBoolean() const { return Integer_ != 0; }
  int64_t AsInteger() const { return Integer_; }  // integer, currency kinds
  double AsFloat() const { return Float_; }       // float, date kinds
  const std::u16string& AsWideText() const { return Wide_; }
  const std::string& AsAnsiText() const { return Ansi_; }

  bool operator==(const TVariant&) const = default;

 private:
  static TVariant OfInteger(TVariantKind kind, int64_t value);
  static TVariant OfFloat(TVariantKind kind, double value);

  TVariantKind Kind_ = TVariantKind::vkEmpty;
  int64_t Integer_ = 0;
  double Float_ = 0;
  std::u16string Wide_;
  std::string Ansi_;
};

}  // namespace qel
