// Where copy-data sockets live: named socket files in the user's private
// runtime folder (RuntimeFolder.h), so that only the user's own processes
// can bind a window's name or send to it. The folder may lie deeper than
// sockaddr_un's 108 bytes allow, so sockets are bound and reached through
// the folder's open descriptor ("/proc/self/fd/<fd>/<name>").
#pragma once

#include <cstdint>
#include <string>

#include "platform/posix/FileDescriptor.h"

namespace qel {

// The user's runtime folder, opened. Raises EQelError when it is not usable.
TFileDescriptor OpenCopyDataFolder();

// Connects the unbound datagram socket `socket` to the socket file `name` in
// `folder`, once it is known to be a socket of the user's own (lstat, no
// link). Answers 0, or an errno value: ENOENT or ECONNREFUSED when nobody
// receives there, EPERM when the file is not the user's socket.
int ConnectCopyDataSocket(int socket, const TFileDescriptor& folder, const std::string& name);

// The socket file a receiving socket is bound to, removed again when it goes.
class TCopyDataSocketFile {
 public:
  // Binds `socket` to `name` in the runtime folder. A file left by a receiver
  // that died (nobody answers on it) is replaced; a live one raises
  // EWindowTaken. Other failures raise EQelError.
  TCopyDataSocketFile(int socket, const std::string& name);
  // Removes the file while the socket is still bound to it, so that it can
  // only be our own.
  ~TCopyDataSocketFile();
  TCopyDataSocketFile(const TCopyDataSocketFile&) = delete;
  TCopyDataSocketFile& operator=(const TCopyDataSocketFile&) = delete;

 private:
  TFileDescriptor Folder_;
  std::string Name_;
  uint64_t Device_ = 0;
  uint64_t Inode_ = 0;
};

}  // namespace qel
