#include "ReparsePoints.h"

#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <vector>

namespace qel::test {
namespace {

// REPARSE_DATA_BUFFER's mount point form, which mingw's headers lack.
struct TMountPointHeader {
  DWORD ReparseTag;
  WORD ReparseDataLength;
  WORD Reserved;
  WORD SubstituteNameOffset;
  WORD SubstituteNameLength;
  WORD PrintNameOffset;
  WORD PrintNameLength;
};

std::wstring Wide(const std::string& text) {
  std::wstring wide;
  for (const char c : text) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return wide;
}

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

bool MakeJunction(const std::string& link, const std::string& target) {
  if (!::CreateDirectoryA(link.c_str(), nullptr)) return false;
  HANDLE folder = ::CreateFileA(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  bool made = false;
  if (folder != INVALID_HANDLE_VALUE) {
    std::wstring substitute = L"\\??\\" + Wide(target);
    while (substitute.back() == L'\\' || substitute.back() == L'/') substitute.pop_back();
    const std::wstring print = Wide(target);
    const WORD substitute_bytes = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
    const WORD print_bytes = static_cast<WORD>(print.size() * sizeof(wchar_t));
    const size_t paths = substitute_bytes + sizeof(wchar_t) + print_bytes + sizeof(wchar_t);
    std::vector<BYTE> buffer(sizeof(TMountPointHeader) + paths);
    TMountPointHeader header{IO_REPARSE_TAG_MOUNT_POINT, static_cast<WORD>(8 + paths), 0, 0, substitute_bytes,
                             static_cast<WORD>(substitute_bytes + sizeof(wchar_t)), print_bytes};
    std::memcpy(buffer.data(), &header, sizeof header);
    std::memcpy(buffer.data() + sizeof header, substitute.c_str(), substitute_bytes + sizeof(wchar_t));
    std::memcpy(buffer.data() + sizeof header + substitute_bytes + sizeof(wchar_t), print.c_str(),
                print_bytes + sizeof(wchar_t));
    DWORD returned = 0;
    made = ::DeviceIoControl(folder, FSCTL_SET_REPARSE_POINT, buffer.data(), static_cast<DWORD>(buffer.size()),
                             nullptr, 0, &returned, nullptr) != 0;
    ::CloseHandle(folder);
  }
  made = made && (::GetFileAttributesA(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  if (!made) ::RemoveDirectoryA(link.c_str());
  return made;
}

bool MakeSymbolicLink(const std::string& link, const std::string& target, bool to_folder) {
  // 2: SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE, for developer mode.
  const DWORD flags = (to_folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | 2;
  // Some versions of Wine answer success without making anything.
  return ::CreateSymbolicLinkA(link.c_str(), target.c_str(), flags) && Exists(link) &&
         (::GetFileAttributesA(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace qel::test
