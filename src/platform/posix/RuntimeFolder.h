// The folder that holds the files behind the named objects: the user's
// runtime folder ($XDG_RUNTIME_DIR), else a folder of the user's under /tmp,
// else one in the user's cache folder. Another local user must not be able
// to hold our locks or plant links there, so a folder that is not the
// user's own is never used; and since anyone may take a name under /tmp
// first, there is a place nobody else can take.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/FileDescriptor.h"

namespace qel {

// What decides the folder; the environment and the user in a real process.
struct TRuntimeFolderPlace {
  std::string XdgRuntimeDir;  // empty when not set; used only when absolute
  std::string TempBase = "/tmp";
  // $XDG_CACHE_HOME when absolute, else $HOME/.cache; empty when neither.
  std::string CacheHome;
  uint32_t Uid = 0;
};

TRuntimeFolderPlace CurrentRuntimeFolderPlace();

// "<runtime dir>/qelgame" or "<temp base>/qelgame-<uid>".
std::string RuntimeFolderPath(const TRuntimeFolderPlace& place);
// "<cache home>/qelgame-runtime"; empty without a cache home.
std::string FallbackRuntimeFolderPath(const TRuntimeFolderPlace& place);

struct TRuntimeFolder {
  std::string Path;
  TFileDescriptor Folder;
};

// The first of these that is usable (see OpenPrivateFolder):
//  1. "<runtime dir>/qelgame", private to the user by the system's design;
//  2. the cache home's folder, when it exists already: once one instance
//     had to fall back to it, every later one keeps to it, so that two
//     browsers of the user agree whatever happens under /tmp meanwhile;
//  3. "<temp base>/qelgame-<uid>", unless someone else took it first;
//  4. the cache home's folder, made.
// Raises EQelError, naming each refusal, when none is.
TRuntimeFolder OpenRuntimeFolder(const TRuntimeFolderPlace& place);

// Opens the folder, creating it with mode 0700 when missing. Raises
// EQelError when it is a symbolic link or no folder, belongs to another user
// than `uid`, or lets group or others in.
TFileDescriptor OpenPrivateFolder(const std::string& path, uint32_t uid);

// The folder of this process's named objects: the test override, or the
// runtime folder. Raises EQelError when it is not usable.
TFileDescriptor OpenNamedObjectFolder();

}  // namespace qel
