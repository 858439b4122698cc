#include "host/Variant.h"

#include <utility>

namespace qel {

TVariant TVariant::OfInteger(TVariantKind kind, int64_t value) {
  TVariant v;
  v.Kind_ = kind;
  v.Integer_ = value;
  return v;
}

TVariant TVariant::OfFloat(TVariantKind kind, double value) {
  TVariant v;
  v.Kind_ = kind;
  v.Float_ = value;
  return v;
}

TVariant TVariant::Null() { return OfInteger(TVariantKind::vkNull, 0); }
TVariant TVariant::Boolean(bool value) { return OfInteger(TVariantKind::vkBoolean, value); }
TVariant TVariant::ShortInt(int8_t value) { return OfInteger(TVariantKind::vkShortInt, value); }
TVariant TVariant::SmallInt(int16_t value) { return OfInteger(TVariantKind::vkSmallInt, value); }
TVariant TVariant::Integer(int32_t value) { return OfInteger(TVariantKind::vkInteger, value); }
TVariant TVariant::Byte(uint8_t value) { return OfInteger(TVariantKind::vkByte, value); }
TVariant TVariant::Word(uint16_t value) { return OfInteger(TVariantKind::vkWord, value); }
TVariant TVariant::LongWord(uint32_t value) { return OfInteger(TVariantKind::vkLongWord, value); }
TVariant TVariant::Int64(int64_t value) { return OfInteger(TVariantKind::vkInt64, value); }
TVariant TVariant::Currency(int64_t ten_thousandths) {
  return OfInteger(TVariantKind::vkCurrency, ten_thousandths);
}
TVariant TVariant::Single(float value) { return OfFloat(TVariantKind::vkSingle, value); }
TVariant TVariant::Double(double value) { return OfFloat(TVariantKind::vkDouble, value); }
TVariant TVariant::Date(double days) { return OfFloat(TVariantKind::vkDate, days); }

TVariant TVariant::WideText(std::u16string value) {
  TVariant v;
  v.Kind_ = TVariantKind::vkWideText;
  v.Wide_ = std::move(value);
  return v;
}

TVariant TVariant::AnsiText(std::string value) {
  TVariant v;
  v.Kind_ = TVariantKind::vkAnsiText;
  v.Ansi_ = std::move(value);
  return v;
}

bool TVariant::IsInteger() const {
  switch (Kind_) {
    case TVariantKind::vkShortInt:
    case TVariantKind::vkSmallInt:
    case TVariantKind::vkInteger:
    case TVariantKind::vkByte:
    case TVariantKind::vkWord:
    case TVariantKind::vkLongWord:
    case TVariantKind::vkInt64:
      return true;
    default:
      return false;
  }
}

bool TVariant::IsFloat() const {
  return Kind_ == TVariantKind::vkSingle || Kind_ == TVariantKind::vkDouble;
}

std::optional<double> TVariant::AsNumber() const {
  if (IsInteger()) return static_cast<double>(Integer_);
  if (IsFloat()) return Float_;
  return std::nullopt;
}

}  // namespace qel
