#include "platform/DataFile.h"

#include <windows.h>

#include <algorithm>

#include "platform/Error.h"
#include "platform/win32/FileEntry.h"
#include "platform/win32/OwnedHandle.h"
#include "platform/win32/SystemError.h"

namespace qel {
namespace {

constexpr size_t kMostBytesPerCall = 1 << 20;

HANDLE HandleOf(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

[[noreturn]] void Fail(const char* what, const std::string& path) {
  RaiseSystemError(what, path, ::GetLastError());
}

OVERLAPPED At(int64_t offset) {
  OVERLAPPED position{};
  position.Offset = static_cast<DWORD>(offset);
  position.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
  return position;
}

}  // namespace

std::unique_ptr<TDataFile> TDataFile::Open(const std::string& path) {
  // FILE_SHARE_DELETE: the file may be deleted while open here, and while
  // mapped by a TMappedFile, as on Linux; it then goes once both are closed.
  // The link itself is opened, so that it is refused and never followed.
  TOwnedHandle file(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.Valid()) Fail("cannot open", path);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!DescribeOpenEntry(file.Get(), info)) Fail("cannot examine", path);
  if (IsReparsePoint(info.dwFileAttributes) || IsFolder(info.dwFileAttributes) ||
      ::GetFileType(file.Get()) != FILE_TYPE_DISK)
    throw EQelError("not a regular file: " + path);
  return std::unique_ptr<TDataFile>(new TDataFile(reinterpret_cast<intptr_t>(file.Release()), path));
}

TDataFile::~TDataFile() { ::CloseHandle(HandleOf(Handle_)); }

int64_t TDataFile::Size() const {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(HandleOf(Handle_), &size)) Fail("cannot examine", Path_);
  return size.QuadPart;
}

void TDataFile::Truncate(int64_t size) {
  // By handle, not through the file pointer, which the other threads' reads
  // and writes move. A view of the file still mapped refuses the cut
  // (ERROR_USER_MAPPED_FILE): Windows keeps mapped bytes in the file.
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = size;
  if (!::SetFileInformationByHandle(HandleOf(Handle_), FileEndOfFileInfo, &end, sizeof end)) Fail("cannot cut", Path_);
}

void TDataFile::WriteAt(int64_t offset, std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    OVERLAPPED position = At(offset);
    DWORD put = 0;
    const auto chunk = static_cast<DWORD>(std::min(bytes.size(), kMostBytesPerCall));
    if (!::WriteFile(HandleOf(Handle_), bytes.data(), chunk, &put, &position)) Fail("cannot write", Path_);
    bytes = bytes.subspan(put);
    offset += put;
  }
}

size_t TDataFile::ReadAt(int64_t offset, std::span<uint8_t> bytes) const {
  size_t filled = 0;
  while (filled < bytes.size()) {
    OVERLAPPED position = At(offset + static_cast<int64_t>(filled));
    DWORD got = 0;
    const auto chunk = static_cast<DWORD>(std::min(bytes.size() - filled, kMostBytesPerCall));
    if (!::ReadFile(HandleOf(Handle_), bytes.data() + filled, chunk, &got, &position)) {
      if (::GetLastError() == ERROR_HANDLE_EOF) break;
      Fail("cannot read", Path_);
    }
    if (got == 0) break;
    filled += got;
  }
  return filled;
}

void TDataFile::Flush() {
  if (!::FlushFileBuffers(HandleOf(Handle_))) Fail("cannot flush", Path_);
}

}  // namespace qel
