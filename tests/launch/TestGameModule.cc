// A game's update and init module for the launch tests. It reads what it is
// handed byte by byte at the documented offsets (not through the system's
// own record types, so that a wrong layout there shows), checks every field
// and writes its answers.
#include <cstdint>
#include <cstring>
#include <string>

#include "TestGameValues.h"
#include "platform/Export.h"
#include "platform/Module.h"

// Declared only: the entry points have the types the launcher calls them
// through, but nothing here depends on the records' layout.
namespace qel {
struct TUpdateGameRec;
struct TInitGameIn;
struct TInitGameOut;
}  // namespace qel

namespace {

using namespace qel::testgame;

template <class T>
T At(const uint8_t* record, std::size_t offset) {
  T value;
  std::memcpy(&value, record + offset, sizeof value);
  return value;
}

bool IsZero(const uint8_t* record, std::size_t offset, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i)
    if (record[offset + i] != 0) return false;
  return true;
}

// The field holds the text cut to size - 1 and NUL bytes after it.
bool HoldsText(const uint8_t* record, std::size_t offset, std::size_t size, const std::string& text) {
  const std::string expected = text.substr(0, size - 1);
  return std::memcmp(record + offset, expected.data(), expected.size()) == 0 &&
         IsZero(record, offset + expected.size(), size - expected.size());
}

int32_t CheckUpdateRecord(const uint8_t* rec) {
  if (At<uint16_t>(rec, 0) != 540) return kWrongField + 0;
  if (At<uint16_t>(rec, 2) != 2) return kWrongField + 2;
  if (rec[4] != 0) return kWrongField + 4;
  if (rec[5] != 0) return kWrongField + 5;
  if (At<uint16_t>(rec, 6) != 0) return kWrongField + 6;
  if (At<uint32_t>(rec, 8) != 0) return kWrongField + 8;
  if (!HoldsText(rec, 12, 512, UpdateInfo())) return kWrongField + 12;
  if (!IsZero(rec, 524, 16)) return kWrongField + 524;
  return 0;
}

int32_t CheckInitInput(const uint8_t* in) {
  if (At<uint16_t>(in, 0) != 980) return kWrongField + 0;
  if (At<uint16_t>(in, 2) != 2) return kWrongField + 2;
  if (At<uint32_t>(in, 4) != kParentWindow) return kWrongField + 4;
  if (At<int32_t>(in, 8) != kParentWidth) return kWrongField + 8;
  if (At<int32_t>(in, 12) != kParentHeight) return kWrongField + 12;
  if (At<int32_t>(in, 16) != kSrcId) return kWrongField + 16;
  if (!IsZero(in, 20, 64)) return kWrongField + 20;
  if (!HoldsText(in, 84, 64, kAccount)) return kWrongField + 84;
  if (!HoldsText(in, 148, 64, kLongPassword)) return kWrongField + 148;
  if (At<int32_t>(in, 212) != kDbId) return kWrongField + 212;
  if (At<int32_t>(in, 216) != kGsId) return kWrongField + 216;
  if (!HoldsText(in, 220, 512, RunInfo())) return kWrongField + 220;
  if (!IsZero(in, 732, 248)) return kWrongField + 732;
  return 0;
}

int32_t CheckInitOutput(const uint8_t* out) {
  if (At<uint16_t>(out, 0) != 268) return kWrongOutField + 0;
  if (At<uint16_t>(out, 2) != 1) return kWrongOutField + 2;
  if (!IsZero(out, 4, 264)) return kWrongOutField + 4;
  return 0;
}

}  // namespace

QEL_EXPORT int32_t QEL_MODULECALL UpdateGame(qel::TUpdateGameRec* record) {
  auto* rec = reinterpret_cast<uint8_t*>(record);
  if (const int32_t wrong = CheckUpdateRecord(rec)) return wrong;
  const uint16_t progress = 100;
  std::memcpy(rec + 6, &progress, sizeof progress);
  rec[5] = 1;  // finished
  return 0;
}

QEL_EXPORT int32_t QEL_MODULECALL InitGame(qel::TInitGameIn* input, qel::TInitGameOut* output) {
  auto* in = reinterpret_cast<const uint8_t*>(input);
  auto* out = reinterpret_cast<uint8_t*>(output);
  if (const int32_t wrong = CheckInitInput(in)) return wrong;
  if (const int32_t wrong = CheckInitOutput(out)) return wrong;
  std::memcpy(out + 8, &kGameWindow, sizeof kGameWindow);
  std::memcpy(out + 12, &kModuleMark, sizeof kModuleMark);
  return 0;
}
