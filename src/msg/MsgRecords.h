// The records of the game message channel: one value of a value list, one
// received message, the copy-data tags that mark requests and answers, and
// the value tags of the byte format.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace qel {

// The copy-data tags: the ASCII bytes "QELA" (a request of the game) and
// "QELP" (an answer of the plug-in) read as little-endian 32-bit integers.
constexpr uint32_t kMagicRequest = 0x414C4551;  // "QELA"
constexpr uint32_t kMagicAnswer = 0x504C4551;   // "QELP"

// Tags of a value list's values. Any other tag is an empty value that
// consists of the tag byte alone.
constexpr uint8_t kTagEmpty = 0;
constexpr uint8_t kTagInteger = 1;     // signed 32-bit
constexpr uint8_t kTagDouble = 2;      // IEEE 754 double
constexpr uint8_t kTagString = 3;      // u16 length, 8-bit text
constexpr uint8_t kTagBoolean = 4;     // one byte, 0 = false
constexpr uint8_t kTagWideString = 5;  // u16 length in code units, UTF-16
constexpr uint8_t kTagBytes = 11;      // signed 32-bit length, bytes

using TByteArrayParam = std::vector<uint8_t>;

// One value. `Number` holds the integer in its first 4 bytes (tag 1), the
// boolean in its first byte (tag 4) or the double (tag 2); fields the tag does
// not use stay empty or zero.
struct TQEL_Variant {
  uint8_t Tag = kTagEmpty;
  TByteArrayParam Bytes;
  std::string Str;
  std::u16string WStr;
  std::array<uint8_t, 8> Number{};

  static TQEL_Variant Empty() { return {}; }
  static TQEL_Variant Integer(int32_t value) { return OfNumber(kTagInteger, value); }
  static TQEL_Variant Boolean(bool value) { return OfNumber(kTagBoolean, uint8_t{value}); }
  static TQEL_Variant Double(double value) { return OfNumber(kTagDouble, value); }
  static TQEL_Variant ByteArray(TByteArrayParam bytes) {
    TQEL_Variant v;
    v.Tag = kTagBytes;
    v.Bytes = std::move(bytes);
    return v;
  }
  static TQEL_Variant String(std::string text) {
    TQEL_Variant v;
    v.Tag = kTagString;
    v.Str = std::move(text);
    return v;
  }
  static TQEL_Variant WideString(std::u16string text) {
    TQEL_Variant v;
    v.Tag = kTagWideString;
    v.WStr = std::move(text);
    return v;
  }

  int32_t AsInteger() const { return NumberAs<int32_t>(); }
  bool AsBoolean() const { return Number[0] != 0; }
  double AsDouble() const { return NumberAs<double>(); }

  bool operator==(const TQEL_Variant&) const = default;

 private:
  template <class T>
  static TQEL_Variant OfNumber(uint8_t tag, T value) {
    static_assert(sizeof(T) <= sizeof(Number));
    TQEL_Variant v;
    v.Tag = tag;
    std::memcpy(v.Number.data(), &value, sizeof value);
    return v;
  }
  template <class T>
  T NumberAs() const {
    T value;
    std::memcpy(&value, Number.data(), sizeof value);
    return value;
  }
};

// One received message. `Code` is set for answers only; fields that the
// message's layout does not fill stay empty.
struct TQEL_Message {
  int32_t Id = 0;
  uint8_t Kind = 0;
  uint8_t Code = 0;
  std::string Text;
  std::string ObjectName;
  std::vector<TQEL_Variant> Values;

  bool operator==(const TQEL_Message&) const = default;
};

}  // namespace qel
