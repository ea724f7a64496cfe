// The skin description parser over any text after the 272 zero bytes of an
// unpacked skin (the LZMA layer in front would hide most of it from mutation).
// Input: the description text.
#include <vector>

#include "skinlib/skin_blob.h"
#include "skinlib/skin_description.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantoip::skin;
  std::vector<std::uint8_t> unpacked(kUnpackedPaddingSize, 0);
  unpacked.insert(unpacked.end(), data, data + size);
  const auto skin = ParseSkinDescription(unpacked);
  if (skin) {
    // Ranged values stay in their ranges.
    FUZZ_CHECK(skin->patternAlpha >= 0 && skin->patternAlpha <= 255);
    FUZZ_CHECK(skin->patternSpacing >= 2 && skin->patternSpacing <= 64);
    FUZZ_CHECK(skin->panelRadius >= 0 && skin->panelRadius <= 16);
    FUZZ_CHECK(skin->buttonRadius >= 0 && skin->buttonRadius <= 16);
  }
  return 0;
}
