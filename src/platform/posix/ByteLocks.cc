#include "platform/posix/ByteLocks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/Error.h"
#include "platform/posix/ObjectFileName.h"
#include "platform/posix/RuntimeFolder.h"

namespace qel {
namespace {

bool SetLock(const TFileDescriptor& file, int index, short type) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = index;
  lock.l_len = 1;
  lock.l_pid = 0;  // must be 0 for open-file-description locks
  for (;;) {
    if (::fcntl(file.Get(), F_OFD_SETLK, &lock) == 0) return true;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EACCES) return false;
    throw EQelError(std::string("cannot lock a named object: ") + std::strerror(errno));
  }
}

}  // namespace

TFileDescriptor OpenNamedObjectFile(std::string_view name, std::string_view suffix) {
  const TFileDescriptor folder = OpenNamedObjectFolder();
  const std::string file_name = ObjectFileName(name, suffix);
  TFileDescriptor file(::openat(folder.Get(), file_name.c_str(),
                                O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600));
  if (!file.Valid())
    throw EQelError("cannot open named object " + file_name + ": " + std::strerror(errno));
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0)
    throw EQelError("cannot examine named object " + file_name + ": " + std::strerror(errno));
  if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid())
    throw EQelError("named object " + file_name + " is not the user's own file");
  return file;
}

bool TryLockByte(const TFileDescriptor& file, int index) { return SetLock(file, index, F_WRLCK); }

void UnlockByte(const TFileDescriptor& file, int index) {
  if (!SetLock(file, index, F_UNLCK)) throw EQelError("cannot unlock a named object");
}

}  // namespace qel
