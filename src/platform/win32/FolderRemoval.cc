#include "platform/FolderRemoval.h"

#include <windows.h>

#include <cstring>
#include <memory>

#include "platform/win32/FileEntry.h"
#include "platform/win32/OwnedHandle.h"

namespace qel {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

struct TFindCloser {
  void operator()(HANDLE search) const { ::FindClose(search); }
};
using TFolderSearch = std::unique_ptr<void, TFindCloser>;

// Opens the folder itself, never what a link leads to, and holds it open
// without FILE_SHARE_DELETE while its entries go, so that nobody can move it
// away and put a link in its place meanwhile: the path to each entry keeps
// naming the folder that was examined. Only reading access, so that the
// search of its entries may open it too.
TOwnedHandle OpenHeld(const std::string& path) {
  return TOwnedHandle(::CreateFileA(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

bool IsRealFolder(HANDLE entry) {
  BY_HANDLE_FILE_INFORMATION info{};
  return DescribeOpenEntry(entry, info) && IsFolder(info.dwFileAttributes) && !IsReparsePoint(info.dwFileAttributes);
}

bool DeleteEntry(const std::string& path, DWORD attributes);

// True when every entry of the held folder is gone; stops at the first that stays.
bool DeleteEntries(const std::string& folder) {
  WIN32_FIND_DATAA found{};
  TFolderSearch search(::FindFirstFileExA((folder + "\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                          nullptr, 0));
  if (search.get() == INVALID_HANDLE_VALUE) {
    search.release();
    return ::GetLastError() == ERROR_FILE_NOT_FOUND;
  }
  do {
    if (std::strcmp(found.cFileName, ".") == 0 || std::strcmp(found.cFileName, "..") == 0) continue;
    if (!DeleteEntry(folder + "\\" + found.cFileName, found.dwFileAttributes)) return false;
  } while (::FindNextFileA(search.get(), &found));
  return ::GetLastError() == ERROR_NO_MORE_FILES;
}

// A link (a junction or a symbolic link, to a folder or not) goes itself;
// a folder goes after everything in it.
bool DeleteEntry(const std::string& path, DWORD attributes) {
  if (IsFolder(attributes) && !IsReparsePoint(attributes)) {
    TOwnedHandle folder = OpenHeld(path);
    if (!folder.Valid()) return IsMissing(::GetLastError());
    // Otherwise replaced by a link or a file since the search saw it: that goes itself.
    if (IsRealFolder(folder.Get()) && !DeleteEntries(path)) return false;
    // Let go, so that the emptied folder may be opened for its deletion.
    folder.Reset();
  }
  return DeleteEntryItself(path, true);
}

}  // namespace

bool DeleteTree(const std::string& folder) {
  std::string path = folder;
  while (!path.empty() && IsSeparator(path.back())) path.pop_back();
  // A drive's root ("C:", "\", "\\server\share" reduced to nothing) is never removed.
  if (path.empty() || path.back() == ':') return false;
  size_t separator = path.size();
  while (separator > 0 && !IsSeparator(path[separator - 1])) --separator;
  const std::string name = path.substr(separator);
  if (name == "." || name == "..") return false;

  TOwnedHandle top = OpenHeld(path);
  if (!top.Valid() || !IsRealFolder(top.Get()) || !DeleteEntries(path)) return false;
  top.Reset();
  return DeleteEntryItself(path, true);
}

}  // namespace qel
