#include "platform/PluginFolder.h"

#include <dlfcn.h>
#include <limits.h>
#include <link.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "platform/Error.h"
#include "platform/FileSystem.h"

namespace qel {
namespace {

std::string ThisProgram() {
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  return std::string(path, static_cast<std::size_t>(length));
}

}  // namespace

std::string PluginDir() {
  Dl_info info{};
  link_map* map = nullptr;
  std::string file;
  if (::dladdr1(reinterpret_cast<void*>(&PluginDir), &info, reinterpret_cast<void**>(&map),
                RTLD_DL_LINKMAP) != 0 &&
      map != nullptr && map->l_name != nullptr)
    file = map->l_name;
  // The main program has no name of its own among the loaded objects.
  if (file.empty()) file = ThisProgram();
  // A library loaded by a relative path is named relative to the folder of
  // that time; its real path is the one that lasts.
  if (!file.empty() && file.front() != '/') {
    char* real = ::realpath(file.c_str(), nullptr);
    file = real != nullptr ? real : "";
    ::free(real);
  }
  const std::size_t slash = file.rfind('/');
  if (slash == std::string::npos) throw EQelError("the plug-in's own file cannot be found");
  return file.substr(0, slash + 1);
}

}  // namespace qel
