#include "msg/ValueList.h"

#include <cstring>

#include "platform/Error.h"

namespace qel {
namespace {

[[noreturn]] void RefuseRange() { throw EQelError("Range check error"); }

uint8_t* PutU8(uint8_t* out, uint8_t value) {
  *out = value;
  return out + 1;
}

uint8_t* PutU16(uint8_t* out, uint16_t value) {
  out[0] = static_cast<uint8_t>(value);
  out[1] = static_cast<uint8_t>(value >> 8);
  return out + 2;
}

uint8_t* PutU32(uint8_t* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
  return out + 4;
}

uint8_t* PutU64(uint8_t* out, uint64_t value) {
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
  return out + 8;
}

uint8_t* PutBytes(uint8_t* out, const void* bytes, size_t count) {
  if (count != 0) std::memcpy(out, bytes, count);
  return out + count;
}

// A double travels as its bits, never through a floating-point register, so
// that every NaN keeps its payload.
uint64_t NumberBits(const TQEL_Variant& value) {
  uint64_t bits;
  std::memcpy(&bits, value.Number.data(), sizeof bits);
  return bits;
}

TQEL_Variant DoubleOfBits(uint64_t bits) {
  TQEL_Variant v;
  v.Tag = kTagDouble;
  std::memcpy(v.Number.data(), &bits, sizeof bits);
  return v;
}

uint64_t ValueSize(const TQEL_Variant& value, TValueListUse use) {
  switch (value.Tag) {
    case kTagEmpty:
      if (use != TValueListUse::Request) throw EQelError("invalid param");
      return 1;
    case kTagInteger:
      return 5;
    case kTagBoolean:
      return 2;
    case kTagDouble:
      return 9;
    case kTagBytes:
      if (value.Bytes.size() > kLongestByteArray) RefuseRange();
      return 5 + uint64_t{value.Bytes.size()};
    case kTagString:
      if (value.Str.size() > kLongestString) RefuseRange();
      return 3 + uint64_t{value.Str.size()};
    case kTagWideString:
      if (value.WStr.size() > kLongestString) RefuseRange();
      return 3 + 2 * uint64_t{value.WStr.size()};
    default:
      throw EQelError("invalid param");
  }
}

TQEL_Variant ReadValue(TByteReader& reader) {
  const uint8_t tag = reader.U8();
  switch (tag) {
    case kTagInteger:
      return TQEL_Variant::Integer(reader.I32());
    case kTagDouble:
      return DoubleOfBits(reader.U64());
    case kTagString:
      return TQEL_Variant::String(reader.Text(reader.U16()));
    case kTagBoolean: {
      // The byte as sent: any non-zero byte is true.
      TQEL_Variant v;
      v.Tag = kTagBoolean;
      v.Number[0] = reader.U8();
      return v;
    }
    case kTagWideString: {
      const uint16_t units = reader.U16();
      std::span<const uint8_t> bytes = reader.Bytes(size_t{units} * 2);
      std::u16string text(units, u'\0');
      for (size_t i = 0; i < units; ++i)
        text[i] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
      return TQEL_Variant::WideString(std::move(text));
    }
    case kTagBytes: {
      const int32_t count = reader.I32();
      if (count < 0) RefuseParamSize();
      std::span<const uint8_t> bytes = reader.Bytes(static_cast<size_t>(count));
      return TQEL_Variant::ByteArray(TByteArrayParam(bytes.begin(), bytes.end()));
    }
    default:
      return TQEL_Variant::Empty();
  }
}

}  // namespace

uint64_t ValueListSize(std::span<const TQEL_Variant> values, TValueListUse use) {
  uint64_t size = 1;
  for (const TQEL_Variant& value : values) size += ValueSize(value, use);
  if (values.size() > kMostValues) RefuseRange();
  return size;
}

uint8_t* WriteValueList(uint8_t* out, std::span<const TQEL_Variant> values) {
  out = PutU8(out, static_cast<uint8_t>(values.size()));
  for (const TQEL_Variant& value : values) {
    out = PutU8(out, value.Tag);
    switch (value.Tag) {
      case kTagInteger:
        out = PutU32(out, static_cast<uint32_t>(value.AsInteger()));
        break;
      case kTagBoolean:
        out = PutU8(out, value.Number[0]);
        break;
      case kTagDouble:
        out = PutU64(out, NumberBits(value));
        break;
      case kTagBytes:
        out = PutU32(out, static_cast<uint32_t>(value.Bytes.size()));
        out = PutBytes(out, value.Bytes.data(), value.Bytes.size());
        break;
      case kTagString:
        out = PutU16(out, static_cast<uint16_t>(value.Str.size()));
        out = PutBytes(out, value.Str.data(), value.Str.size());
        break;
      case kTagWideString:
        out = PutU16(out, static_cast<uint16_t>(value.WStr.size()));
        for (char16_t unit : value.WStr) out = PutU16(out, static_cast<uint16_t>(unit));
        break;
      default:
        break;  // the empty value is its tag alone; others are refused by ValueListSize
    }
  }
  return out;
}

std::vector<TQEL_Variant> ReadValueList(TByteReader& reader) {
  const uint8_t count = reader.U8();
  std::vector<TQEL_Variant> values;
  values.reserve(count);
  for (uint8_t i = 0; i < count; ++i) values.push_back(ReadValue(reader));
  return values;
}

}  // namespace qel
