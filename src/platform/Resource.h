// The library's own resources: byte blocks compiled into it, found by type
// and name (both compared without regard to ASCII letter case), as the
// Windows build finds its resource section's entries.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace qel {

// The resource's bytes, which live as long as the library; none when the
// library has no such resource.
std::optional<std::span<const uint8_t>> FindLibraryResource(std::string_view type,
                                                            std::string_view name);

// Compiled-in resources register themselves through a static object of this
// type; `bytes` must live as long as the library.
class TResourceRegistration {
 public:
  TResourceRegistration(std::string_view type, std::string_view name,
                        std::span<const uint8_t> bytes);
};

// Test seam: answer `bytes` for this resource instead of the compiled-in
// one; nullopt restores the compiled-in one.
void SetLibraryResourceForTesting(std::string_view type, std::string_view name,
                                  std::optional<std::vector<uint8_t>> bytes);

}  // namespace qel
