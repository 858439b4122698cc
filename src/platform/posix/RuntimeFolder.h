// The folder that holds the files behind the named objects: the user's
// runtime folder ($XDG_RUNTIME_DIR), else a folder of the user's under /tmp.
// Another local user must not be able to hold our locks or plant links
// there, so a folder that is not the user's own is never used.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/posix/FileDescriptor.h"

namespace qel {

// What decides the folder; the environment and the user in a real process.
struct TRuntimeFolderPlace {
  std::string XdgRuntimeDir;  // empty when not set; used only when absolute
  std::string TempBase = "/tmp";
  uint32_t Uid = 0;
};

TRuntimeFolderPlace CurrentRuntimeFolderPlace();

// "<runtime dir>/qelgame" or "<temp base>/qelgame-<uid>".
std::string RuntimeFolderPath(const TRuntimeFolderPlace& place);

// Opens the folder, creating it with mode 0700 when missing. Raises
// EQelError when it is a symbolic link or no folder, belongs to another user
// than `uid`, or lets group or others in.
TFileDescriptor OpenPrivateFolder(const std::string& path, uint32_t uid);

// The folder of this process's named objects: the test override, or the
// runtime folder. Raises EQelError when it is not usable.
TFileDescriptor OpenNamedObjectFolder();

// The file name that stands for an object name: bytes outside
// [A-Za-z0-9._-] are written as %XX, a name too long for a file name is cut
// and followed by "~" and its SHA-256, and the suffix tells the object's kind.
std::string ObjectFileName(std::string_view name, std::string_view suffix);

}  // namespace qel
