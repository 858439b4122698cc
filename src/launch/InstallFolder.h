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
// required_mb MiB beside it and nobody else can change what it holds. The
// plug-in's own folder comes first (the game's folder is plugin_dir +
// game_id; the plug-in's folder must be the user's alone), then each install
// root (root + "tamblewick/" + game_id; a root others may write to must keep
// their hands off our entries with its sticky bit). Folders are made when
// missing; the first that exists afterwards and is the user's alone is the
// answer, ending with a path separator. Empty when none qualifies, or when
// the identifier is not a plain folder name.
std::string ChooseInstallFolder(const TLaunchServices& services, const std::string& plugin_dir,
                                std::string_view game_id, int32_t required_mb);

// Whether a game may be started from its recorded folder: the folder is the
// user's alone (and so is the plug-in's folder when the game lies in it), or
// it is missing from a parent that keeps others from making it.
bool RecordedFolderIsSafe(const TLaunchServices& services, const std::string& plugin_dir,
                          const std::string& folder);

}  // namespace qel
