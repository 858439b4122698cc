#include "platform/FileSystem.h"

#include <windows.h>

#include <algorithm>

#include "platform/Error.h"
#include "platform/win32/ClosedFolderSecurity.h"
#include "platform/win32/FileEntry.h"
#include "platform/win32/OwnedHandle.h"
#include "platform/win32/SystemError.h"

namespace qel {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// ReadFile and WriteFile move at most this much per call (a DWORD count).
constexpr size_t kMostBytesPerCall = 1 << 20;

[[noreturn]] void Fail(const char* what, const std::string& path) {
  RaiseSystemError(what, path, ::GetLastError());
}

// What the path leads to, links followed; false when nothing (or no file on
// a disk, as a device name) is there.
bool DescribeFollowing(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  const TOwnedHandle entry(::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return entry.Valid() && ::GetFileType(entry.Get()) == FILE_TYPE_DISK && DescribeOpenEntry(entry.Get(), info);
}

class TWin32FileSystem final : public TFileSystem {
 public:
  bool FileExists(const std::string& path) override {
    BY_HANDLE_FILE_INFORMATION info{};
    return DescribeFollowing(path, info) && !IsFolder(info.dwFileAttributes);
  }

  bool DirectoryExists(const std::string& path) override {
    BY_HANDLE_FILE_INFORMATION info{};
    return DescribeFollowing(path, info) && IsFolder(info.dwFileAttributes);
  }

  bool MakeDirectory(const std::string& path) override {
    TClosedFolderSecurity security;
    if (::CreateDirectoryA(path.c_str(), security.Attributes())) return true;
    return ::GetLastError() == ERROR_ALREADY_EXISTS && DirectoryExists(path);
  }

  std::string ReadFile(const std::string& path, uint64_t max_bytes) override {
    const TOwnedHandle file(
        ::CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) Fail("cannot open", path);
    if (::GetFileType(file.Get()) != FILE_TYPE_DISK) throw EQelError("not a regular file: " + path);
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size)) Fail("cannot examine", path);
    if (static_cast<uint64_t>(size.QuadPart) > max_bytes) throw EFileTooLarge("file too large: " + path);

    std::string content;
    content.reserve(static_cast<size_t>(size.QuadPart));
    std::string buffer(65536, '\0');
    for (;;) {
      DWORD got = 0;
      if (!::ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
        Fail("cannot read", path);
      if (got == 0) break;
      // The file may have grown since it was examined.
      if (content.size() + got > max_bytes) throw EFileTooLarge("file too large: " + path);
      content.append(buffer.data(), got);
    }
    return content;
  }

  void WriteFile(const std::string& path, std::string_view bytes) override {
    // Opened as it is, so that a link at the path is seen and refused
    // rather than written through.
    TOwnedHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.Valid()) Fail("cannot create", path);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!DescribeOpenEntry(file.Get(), info)) Fail("cannot examine", path);
    if (IsReparsePoint(info.dwFileAttributes) || ::GetFileType(file.Get()) != FILE_TYPE_DISK)
      throw EQelError("cannot create " + path + ": a link or no regular file is in its place");
    FILE_END_OF_FILE_INFO empty{};
    if (!::SetFileInformationByHandle(file.Get(), FileEndOfFileInfo, &empty, sizeof empty))
      Fail("cannot empty", path);
    while (!bytes.empty()) {
      DWORD put = 0;
      const auto chunk = static_cast<DWORD>(std::min(bytes.size(), kMostBytesPerCall));
      if (!::WriteFile(file.Get(), bytes.data(), chunk, &put, nullptr)) Fail("cannot write", path);
      bytes.remove_prefix(put);
    }
    if (!::FlushFileBuffers(file.Get())) Fail("cannot flush", path);
    if (!file.Close()) Fail("cannot close", path);
  }

  void RenameFile(const std::string& from, const std::string& to) override {
    // Replaces `to` in one step; WRITE_THROUGH returns once the rename is
    // on the disk.
    if (!::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      Fail("cannot rename", from);
  }

  bool RemoveFile(const std::string& path) override {
    // A link goes itself; a folder is no file and stays.
    return DeleteEntryItself(path, false);
  }
};

}  // namespace

TFileSystem& DefaultFileSystem() {
  static TWin32FileSystem files;
  return files;
}

}  // namespace qel
