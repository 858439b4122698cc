// The file behind a named object and the locks on its bytes. The locks are
// open-file-description locks: they belong to the open file, not to the
// process, so two opens of one file exclude each other even in one process,
// and the kernel frees them when the last descriptor of the open file goes
// (also when the process dies).
#pragma once

#include <string_view>

#include "platform/posix/FileDescriptor.h"

namespace qel {

// Opens (creating when missing) the object's file in the named-object
// folder; never through a link, never another user's file, never inherited
// by started programs. Raises EQelError.
TFileDescriptor OpenNamedObjectFile(std::string_view name, std::string_view suffix);

// Takes the exclusive lock on one byte without waiting: true when taken (or
// already held through this open file), false when another open file holds
// it. Raises EQelError on any other failure.
bool TryLockByte(const TFileDescriptor& file, int index);
void UnlockByte(const TFileDescriptor& file, int index);

}  // namespace qel
