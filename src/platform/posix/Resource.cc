// Linux has no resource section: the library's resources are the ones its
// code registers (src/pack/PublicKeyResource.cc.in).
#include "platform/Resource.h"

#include "platform/ResourceTable.h"

namespace qel {

std::optional<std::span<const uint8_t>> FindLibraryResource(std::string_view type,
                                                            std::string_view name) {
  if (auto replaced = FindResourceOverride(type, name)) return replaced;
  return FindRegisteredResource(type, name);
}

}  // namespace qel
