#include "platform/win32/UserSid.h"

#include <sddl.h>

#include "platform/win32/OwnedHandle.h"
#include "platform/win32/SystemError.h"

namespace qel {

std::vector<BYTE> CurrentUserSid() {
  HANDLE raw = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw))
    RaiseSystemError("cannot open", "the process's token", ::GetLastError());
  const TOwnedHandle token(raw);
  DWORD size = 0;
  ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (size == 0 || !::GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size))
    RaiseSystemError("cannot read", "the process's user", ::GetLastError());
  const PSID sid = reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid;
  const auto* first = static_cast<const BYTE*>(sid);
  return std::vector<BYTE>(first, first + ::GetLengthSid(sid));
}

std::string CurrentUserSidText() {
  std::vector<BYTE> sid = CurrentUserSid();
  char* text = nullptr;
  if (!::ConvertSidToStringSidA(sid.data(), &text))
    RaiseSystemError("cannot write out", "the process's user", ::GetLastError());
  std::string result(text);
  ::LocalFree(text);
  return result;
}

}  // namespace qel
