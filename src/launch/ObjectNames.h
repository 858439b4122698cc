// The named objects through which every instance of a game, in every
// browser process of the user, coordinates: per game a download mutex and a
// run semaphore, and one register mutex for the install register. Names are
// the fixed prefix, the object's role and the game identifier exactly as
// given (names are case-sensitive).
#pragma once

#include <string>
#include <string_view>

namespace qel {

inline constexpr std::string_view kNamedObjectPrefix = "49234416-A8CA-40F0-BA91-2409DE61E563";
// Units of a game's run semaphore: a launcher that runs the game alone, or
// changes its install folder, holds all of them.
inline constexpr int kRunSemaphoreUnits = 8;
// The only wait on a named mutex outside destruction.
inline constexpr int kNamedMutexWaitMs = 20;

std::string DownloadMutexName(std::string_view game_id);
std::string RunSemaphoreName(std::string_view game_id);
std::string RegisterMutexName();

}  // namespace qel
