#include "platform/win32/FileEntry.h"

namespace qel {
namespace {

// FILE_DISPOSITION_INFO_EX, which the headers offer only for newer targets
// than this one: Windows 10 removes the name at once with POSIX semantics.
// Older systems (and Wine) refuse it, and the classic disposition follows.
constexpr FILE_INFO_BY_HANDLE_CLASS kDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr DWORD kDispositionDelete = 0x1;
constexpr DWORD kDispositionPosixSemantics = 0x2;
constexpr DWORD kDispositionIgnoreReadOnly = 0x10;

// The attributes FileBasicInfo may set; 0 there means "leave unchanged".
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                      FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool SetAttributes(HANDLE entry, DWORD attributes) {
  FILE_BASIC_INFO basic{};
  basic.FileAttributes = attributes & kSettableAttributes;
  if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  return ::SetFileInformationByHandle(entry, FileBasicInfo, &basic, sizeof basic) != 0;
}

}  // namespace

TOwnedHandle OpenEntryItself(const std::string& path, DWORD access) {
  return TOwnedHandle(::CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

bool DescribeOpenEntry(HANDLE entry, BY_HANDLE_FILE_INFORMATION& info) {
  return ::GetFileInformationByHandle(entry, &info) != 0;
}

bool DeleteEntryItself(const std::string& path, bool folders_too) {
  const TOwnedHandle entry = OpenEntryItself(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES);
  if (!entry.Valid()) return IsMissing(::GetLastError());
  BY_HANDLE_FILE_INFORMATION info{};
  if (!DescribeOpenEntry(entry.Get(), info)) return false;
  const DWORD attributes = info.dwFileAttributes;
  if (!folders_too && IsFolder(attributes) && !IsReparsePoint(attributes)) {
    ::SetLastError(ERROR_DIRECTORY);
    return false;
  }
  FILE_DISPOSITION_INFO_EX posix{kDispositionDelete | kDispositionPosixSemantics | kDispositionIgnoreReadOnly};
  if (::SetFileInformationByHandle(entry.Get(), kDispositionInfoEx, &posix, sizeof posix)) return true;

  const bool read_only = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if (read_only && !SetAttributes(entry.Get(), attributes & ~FILE_ATTRIBUTE_READONLY)) return false;
  FILE_DISPOSITION_INFO classic{TRUE};
  if (::SetFileInformationByHandle(entry.Get(), FileDispositionInfo, &classic, sizeof classic)) return true;
  // Wine refuses the disposition of a file that is still mapped, but takes
  // a deletion asked for when the file is opened; it happens when the last
  // handle and view of the file go.
  if (!IsFolder(attributes)) {
    const TOwnedHandle closing(::CreateFileA(path.c_str(), DELETE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_DELETE_ON_CLOSE,
                                             nullptr));
    if (closing.Valid()) return true;
  }
  const DWORD error = ::GetLastError();
  // Put back what the failed deletion changed.
  if (read_only) SetAttributes(entry.Get(), attributes);
  ::SetLastError(error);
  return false;
}

}  // namespace qel
