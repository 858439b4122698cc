#include "WindowSearch.h"

#include <windows.h>

namespace qel::test {
namespace {

struct TSearch {
  const std::string& Title;
  const std::string& ClassName;
  HWND Found = nullptr;
};

BOOL CALLBACK Visit(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<TSearch*>(parameter);
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  if (search->Title != text) return TRUE;
  GetClassNameA(window, text, sizeof text);
  if (search->ClassName != text) return TRUE;
  search->Found = window;
  return FALSE;
}

}  // namespace

TWindowHandle FindWindowBelow(TWindowHandle ancestor, const std::string& title, const std::string& class_name) {
  TSearch search{title, class_name};
  // EnumChildWindows visits the children's children too.
  EnumChildWindows(reinterpret_cast<HWND>(ancestor), &Visit, reinterpret_cast<LPARAM>(&search));
  return reinterpret_cast<TWindowHandle>(search.Found);
}

}  // namespace qel::test
