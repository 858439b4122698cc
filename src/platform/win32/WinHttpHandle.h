// Ownership of WinHTTP's handles: closed when their owner goes.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <memory>
#include <type_traits>

namespace qel {

struct TWinHttpHandleClose {
  void operator()(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using TWinHttpHandle = std::unique_ptr<std::remove_pointer_t<HINTERNET>, TWinHttpHandleClose>;

}  // namespace qel
