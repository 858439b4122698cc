#include "platform/TreeFiles.h"

#include <windows.h>

#include <algorithm>

#include "platform/Error.h"
#include "platform/FolderRemoval.h"
#include "platform/win32/FileEntry.h"
#include "platform/win32/OwnedHandle.h"
#include "platform/win32/SystemError.h"

namespace qel {
namespace {

constexpr intptr_t kClosed = 0;
// Each attempt removes what was in the way; another process that keeps
// putting things there makes the write fail rather than loop.
constexpr int kAttempts = 4;
constexpr size_t kMostBytesPerCall = 1 << 20;

[[noreturn]] void Fail(const std::string& what, const std::string& path) {
  RaiseSystemError(what, path, ::GetLastError());
}

HANDLE HandleOf(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// The attributes of the entry itself (a link's, not its target's); false
// when nothing is at the path.
bool LookWithoutFollowing(const std::string& path, DWORD& attributes) {
  attributes = ::GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return true;
  if (!IsMissing(::GetLastError())) Fail("cannot examine", path);
  return false;
}

// Removes what stands in the way without following links: a folder with
// everything in it, a link or anything else itself.
void RemoveInTheWay(const std::string& path, DWORD attributes) {
  if (IsFolder(attributes) && !IsReparsePoint(attributes)) {
    if (!DeleteTree(path + "\\")) throw EQelError("cannot remove the folder in the way: " + path);
    return;
  }
  if (!DeleteEntryItself(path, true)) Fail("cannot remove", path);
}

// A file whose writes change only this name: no link, no folder, no
// device, no other (hard link) name.
bool IsOwnRegularFile(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!DescribeOpenEntry(file, info)) return false;
  return !IsReparsePoint(info.dwFileAttributes) && !IsFolder(info.dwFileAttributes) &&
         info.nNumberOfLinks == 1 && ::GetFileType(file) == FILE_TYPE_DISK;
}

TOwnedHandle OpenForWriting(const std::string& path, DWORD disposition) {
  // FILE_FLAG_OPEN_REPARSE_POINT: a link that took the place is opened
  // itself, seen and removed, never written through.
  return TOwnedHandle(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

}  // namespace

void MakeFolderIfMissing(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && IsFolder(attributes)) return;
  if (!::CreateDirectoryA(path.c_str(), nullptr)) Fail("cannot create folder", path);
}

void MakeTreeFolder(const std::string& path) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (::CreateDirectoryA(path.c_str(), nullptr)) return;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) Fail("cannot create folder", path);
    DWORD found = 0;
    if (!LookWithoutFollowing(path, found)) continue;
    if (IsFolder(found) && !IsReparsePoint(found)) return;
    RemoveInTheWay(path, found);
  }
  throw EQelError("cannot create folder " + path + ": something keeps taking its place");
}

TTreeFile::TTreeFile(intptr_t handle, std::string path) : Handle_(handle), Path_(std::move(path)) {}

std::unique_ptr<TTreeFile> TTreeFile::Create(const std::string& path) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    // Most files are new: made here, with nothing else behind the name.
    TOwnedHandle file = OpenForWriting(path, CREATE_NEW);
    if (!file.Valid()) {
      const DWORD error = ::GetLastError();
      // A folder in the way refuses the creation with ERROR_ACCESS_DENIED.
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED)
        Fail("cannot create file", path);
      DWORD found = 0;
      if (!LookWithoutFollowing(path, found)) continue;
      if (IsFolder(found) || IsReparsePoint(found)) {
        RemoveInTheWay(path, found);
        continue;
      }
      if (error == ERROR_ACCESS_DENIED) {
        ::SetLastError(error);
        Fail("cannot create file", path);
      }
      file = OpenForWriting(path, OPEN_EXISTING);
      if (!file.Valid()) {
        if (IsMissing(::GetLastError())) continue;
        Fail("cannot create file", path);
      }
      if (!IsOwnRegularFile(file.Get())) {
        file.Reset();
        if (!LookWithoutFollowing(path, found)) continue;
        RemoveInTheWay(path, found);
        continue;
      }
      FILE_END_OF_FILE_INFO empty{};
      if (!::SetFileInformationByHandle(file.Get(), FileEndOfFileInfo, &empty, sizeof empty))
        Fail("cannot empty file", path);
    } else if (::GetFileType(file.Get()) != FILE_TYPE_DISK) {
      // A device name ("NUL", "CON") in the path.
      throw EQelError("cannot create file " + path + ": a device has this name");
    }
    return std::unique_ptr<TTreeFile>(new TTreeFile(reinterpret_cast<intptr_t>(file.Release()), path));
  }
  throw EQelError("cannot create file " + path + ": something keeps taking its place");
}

TTreeFile::~TTreeFile() {
  if (Handle_ != kClosed) ::CloseHandle(HandleOf(Handle_));
}

void TTreeFile::Write(std::span<const uint8_t> bytes) {
  if (Handle_ == kClosed) throw EQelError("file already closed: " + Path_);
  while (!bytes.empty()) {
    DWORD written = 0;
    const auto chunk = static_cast<DWORD>(std::min(bytes.size(), kMostBytesPerCall));
    if (!::WriteFile(HandleOf(Handle_), bytes.data(), chunk, &written, nullptr)) Fail("cannot write file", Path_);
    bytes = bytes.subspan(written);
  }
}

void TTreeFile::Close() {
  if (Handle_ == kClosed) return;
  const HANDLE file = HandleOf(Handle_);
  Handle_ = kClosed;
  if (!::CloseHandle(file)) Fail("cannot close file", Path_);
}

}  // namespace qel
