#include "platform/win32/HttpRequestText.h"

#include "platform/HttpTransfer.h"

namespace qel {
namespace {

bool IsTokenCharacter(char16_t c) {
  if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')) return true;
  return std::u16string_view(u"!#$%&'*+-.^_`|~").find(c) != std::u16string_view::npos;
}

std::string Narrow(std::u16string_view text) {
  std::string narrow;
  for (char16_t c : text) narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return narrow;
}

}  // namespace

std::wstring CheckedToken(std::u16string_view text, std::string_view what) {
  bool valid = !text.empty();
  for (char16_t c : text) valid = valid && IsTokenCharacter(c);
  if (!valid) throw EHttpTransferError(kHttpErrorInvalidParameter, "not a valid HTTP " + std::string(what));
  return SystemText(text);
}

std::wstring CheckedHeaderValue(std::u16string_view value, std::string_view header) {
  for (char16_t c : value) {
    if (c > 0xFF || c == u'\r' || c == u'\n' || c == u'\0') {
      throw EHttpTransferError(kHttpErrorInvalidParameter,
                               "not a valid value for the header " + std::string(header));
    }
  }
  return SystemText(value);
}

TUrlParts SplitHttpUrl(std::u16string_view url) {
  const std::wstring text = SystemText(url);
  const std::string shown = Narrow(url);
  const size_t scheme_end = text.find(L"://");
  if (scheme_end == std::wstring::npos || scheme_end == 0) {
    throw EHttpTransferError(kHttpErrorInvalidUrl, "not a valid URL: " + shown);
  }
  URL_COMPONENTS parts = {};
  parts.dwStructSize = sizeof parts;
  parts.dwSchemeLength = static_cast<DWORD>(-1);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(text.c_str(), static_cast<DWORD>(text.size()), 0, &parts)) {
    const DWORD error = GetLastError();
    if (error == ERROR_WINHTTP_UNRECOGNIZED_SCHEME) {
      throw EHttpTransferError(kHttpErrorUnrecognizedScheme, "not an HTTP URL: " + shown);
    }
    throw EHttpTransferError(kHttpErrorInvalidUrl, "not a valid URL: " + shown);
  }
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) {
    throw EHttpTransferError(kHttpErrorUnrecognizedScheme, "not an HTTP URL: " + shown);
  }
  if (parts.dwHostNameLength == 0) throw EHttpTransferError(kHttpErrorInvalidUrl, "not a valid URL: " + shown);
  TUrlParts split;
  split.Secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  split.Host.assign(parts.lpszHostName, parts.dwHostNameLength);
  split.Port = parts.nPort;
  if (parts.dwUrlPathLength > 0) split.Target.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
  if (parts.dwExtraInfoLength > 0) split.Target.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  // A fragment stays with the browser.
  if (const size_t fragment = split.Target.find(L'#'); fragment != std::wstring::npos) {
    split.Target.erase(fragment);
  }
  if (split.Target.empty() || split.Target[0] != L'/') split.Target.insert(0, L"/");
  return split;
}

}  // namespace qel
