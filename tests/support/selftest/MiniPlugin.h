// A small plug-in module that stands in for the library in the fake
// browser's own tests: it copies the browser's table, makes instances, and
// hands out a scriptable object that uses identifiers, objects and memory
// the way a real plug-in does.
//
//   mime type      application/x-mini (anything else is refused)
//   script object  greeting (read-only "hello"), note (read/write string),
//                  echo(text) -> text, windowTitle() -> the page's window.title
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "PluginEntry.h"

namespace qel::test::mini {

inline constexpr const char* kMime = "application/x-mini";

// What the module saw since the last Reset.
struct Record {
  int initializeCalls = 0;
  int shutdownCalls = 0;
  int destroyCalls = 0;
  int objectDeallocations = 0;
  std::string mime;
  uint16_t mode = 0;
  std::vector<std::pair<std::string, std::string>> arguments;
};

const Record& Seen();
void Reset();
PluginEntry Entry();

}  // namespace qel::test::mini
