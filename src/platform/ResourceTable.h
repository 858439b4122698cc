// What the library's resources are made of on every system: the resources
// that code registers with TResourceRegistration, and the bytes tests put in
// place of a resource. Each system's FindLibraryResource asks here.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace qel {

// The bytes a test put in place of this resource, if any.
std::optional<std::span<const uint8_t>> FindResourceOverride(std::string_view type,
                                                             std::string_view name);

// The bytes a TResourceRegistration gave for this resource, if any.
std::optional<std::span<const uint8_t>> FindRegisteredResource(std::string_view type,
                                                               std::string_view name);

}  // namespace qel
