// What the program carries for its skin; both are generated at build time.
#pragma once

#include <cstdint>
#include <span>

namespace vantoip {

// The 33 stored skins, records back to back in number order.
std::span<const std::uint8_t> StoredSkins();

// The image of the skinning library, written beside the program.
std::span<const std::uint8_t> SkinLibraryImage();

}  // namespace vantoip
