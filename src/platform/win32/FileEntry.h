// Entries of the file system seen and removed as they are: a reparse point
// (a symbolic link or a junction) is opened itself, never what it leads to.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/OwnedHandle.h"

namespace qel {

// Opens the entry itself, file or folder, with the access asked for and
// every share mode (so that others' opens and deletions are not refused).
// Invalid on failure, with GetLastError set.
TOwnedHandle OpenEntryItself(const std::string& path, DWORD access);

// What an open entry is; false (with GetLastError set) when it cannot be told.
bool DescribeOpenEntry(HANDLE entry, BY_HANDLE_FILE_INFORMATION& info);

inline bool IsReparsePoint(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
inline bool IsFolder(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

// Deletes the entry at `path` itself, a read-only one too; a folder only
// when `folders_too` and empty, a link to a folder always. Where the system
// can, the name goes at once; elsewhere when the last handle and mapping of
// the file go, and meanwhile nobody can open it. True when nothing is at the
// path afterwards; false (with GetLastError set) otherwise.
bool DeleteEntryItself(const std::string& path, bool folders_too);

// Errors that mean nothing is at the path.
inline bool IsMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

}  // namespace qel
