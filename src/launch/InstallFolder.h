// Choosing the folder for a game that is not installed yet.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "launch/LaunchServices.h"

namespace qel {

// The folder that holds a game installed under an install root.
inline constexpr std::string_view kInstallRootFolder = "tamblewick";

// A folder qualifies when the caller may write strictly more than
// required_mb MiB beside it. The plug-in's own folder comes first (the game's
// folder is plugin_dir + game_id), then each install root (root +
// "tamblewick/" + game_id). Folders are made when missing; the first that
// exists afterwards is the answer, ending with a path separator. Empty when
// none qualifies, or when the identifier is not a plain folder name.
std::string ChooseInstallFolder(const TLaunchServices& services, const std::string& plugin_dir,
                                std::string_view game_id, int32_t required_mb);

}  // namespace qel
