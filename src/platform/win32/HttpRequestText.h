// Checks and conversions of the texts a request is made of, before any of
// them reaches WinHTTP.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <string>
#include <string_view>

namespace qel {

// UTF-16 texts pass to the system's wide calls as they are.
inline std::wstring SystemText(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }
inline std::u16string FromSystemText(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

// A method or header name: a non-empty HTTP token. Raises
// EHttpTransferError otherwise.
std::wstring CheckedToken(std::u16string_view text, std::string_view what);
// A header value: Latin-1 without line breaks. Raises EHttpTransferError
// otherwise.
std::wstring CheckedHeaderValue(std::u16string_view value, std::string_view header);

// An http or https URL taken apart; raises EHttpTransferError for anything else.
struct TUrlParts {
  bool Secure = false;
  std::wstring Host;
  INTERNET_PORT Port = 0;
  // Path and query, as they go on the request line.
  std::wstring Target;
};
TUrlParts SplitHttpUrl(std::u16string_view url);

}  // namespace qel
