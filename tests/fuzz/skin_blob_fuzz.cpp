// The stored-skin container as the skinning library reads it: records back to
// back, each package's header, its LZMA stream and the description inside.
// Input: a container.
#include "skinlib/skin_blob.h"
#include "skinlib/skin_description.h"
#include "tests/fuzz/fuzz_input.h"

namespace {
// Smaller than the library's own limit, so that one input decodes quickly.
constexpr std::size_t kUnpackLimit = 1 << 20;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantoip::skin;
  const std::span<const std::uint8_t> container(data, size);
  std::size_t offset = 0;
  for (int number = 1;; ++number) {
    const auto record = SkinRecord(container, number);
    if (record.empty()) break;
    // Records lie back to back: the next one starts where the last ended.
    FUZZ_CHECK(record.data() == data + offset && record.size() >= kRecordHeaderSize);
    FUZZ_CHECK(offset + record.size() <= size);
    offset += record.size();

    const auto packageData = record.subspan(kRecordHeaderSize);
    const auto package = ReadSkinPackage(packageData);
    const auto unpacked = UnpackSkin(packageData, kUnpackLimit);
    if (unpacked) {
      FUZZ_CHECK(package && unpacked->size() == package->unpackedSize);
      static_cast<void>(ParseSkinDescription(*unpacked));
    }
  }
  FUZZ_CHECK(SkinRecord(container, 0).empty() && SkinRecord(container, -1).empty());
  return 0;
}
