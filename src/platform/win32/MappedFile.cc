#include "platform/MappedFile.h"

#include <windows.h>

#include "platform/Error.h"
#include "platform/win32/FileEntry.h"
#include "platform/win32/OwnedHandle.h"
#include "platform/win32/SystemError.h"

namespace qel {
namespace {

[[noreturn]] void Fail(const char* what, const std::string& path) {
  RaiseSystemError(what, path, ::GetLastError());
}

}  // namespace

std::unique_ptr<TMappedFile> TMappedFile::Open(const std::string& path) {
  // Every share mode: the file's writer may still have it open, and may
  // delete it while it is mapped (its name then goes when the view does).
  // FILE_FLAG_SEQUENTIAL_SCAN: read front to back, pages behind may go.
  const TOwnedHandle file(::CreateFileA(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.Valid()) Fail("cannot open", path);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!DescribeOpenEntry(file.Get(), info)) Fail("cannot examine", path);
  if (IsFolder(info.dwFileAttributes) || ::GetFileType(file.Get()) != FILE_TYPE_DISK)
    throw EQelError("not a regular file: " + path);
  const uint64_t size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  if (size > SIZE_MAX) throw EQelError("too large to map: " + path);
  // An empty file cannot be mapped.
  if (size == 0) return std::unique_ptr<TMappedFile>(new TMappedFile(nullptr, 0));
  // The view keeps the file and the mapping alive once their handles close.
  const TOwnedHandle mapping(::CreateFileMappingA(file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping.Valid()) Fail("cannot map", path);
  const void* view = ::MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0);
  if (view == nullptr) Fail("cannot map", path);
  return std::unique_ptr<TMappedFile>(new TMappedFile(static_cast<const uint8_t*>(view), static_cast<size_t>(size)));
}

TMappedFile::~TMappedFile() {
  if (Size_ > 0) ::UnmapViewOfFile(Address_);
}

}  // namespace qel
