// What the launch tests hand the test game module and what it answers: both
// sides read these, the module checks every byte it receives against them.
#pragma once

#include <cstdint>
#include <string>

namespace qel::testgame {

inline constexpr uint32_t kParentWindow = 0x01A2B3C4;
inline constexpr int32_t kParentWidth = 640;
inline constexpr int32_t kParentHeight = 480;
inline constexpr int32_t kSrcId = 7;
inline constexpr int32_t kDbId = -3;
inline constexpr int32_t kGsId = 12;
inline constexpr char kAccount[] = "player-one";
// One character more than the field holds: the module expects the first 63.
inline const std::string kLongPassword(64, 'p');
inline constexpr uint32_t kGameWindow = 0x00C0FFEE;
inline constexpr uint32_t kModuleMark = 0x5A5A5A5A;  // written into the module's own bytes

// Texts longer than their 512-byte fields, with no two neighbours alike so
// that a shifted copy shows.
inline std::string PatternText(char first, std::size_t length) {
  std::string text;
  for (std::size_t i = 0; i < length; ++i) text += static_cast<char>(first + i % 23);
  return text;
}
inline std::string UpdateInfo() { return PatternText('A', 600); }
inline std::string RunInfo() { return PatternText('a', 700); }

// UpdateGame and InitGame return 0 when every byte was as expected, else
// kWrongField + the offset of the first field that was not.
inline constexpr int32_t kWrongField = 1000;
inline constexpr int32_t kWrongOutField = 5000;

}  // namespace qel::testgame
