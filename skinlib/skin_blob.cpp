#include "skinlib/skin_blob.h"

#include <algorithm>
#include <array>

namespace vantoip::skin {
namespace {

constexpr std::array<std::uint8_t, 6> kSignature = {'.', 'S', 'H', 'E', 0x00, 0x03};

std::uint32_t Le32(std::span<const std::uint8_t> bytes) {
  return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (std::uint32_t{bytes[3]} << 24);
}

}  // namespace

std::span<const std::uint8_t> SkinRecord(std::span<const std::uint8_t> container, int number) {
  if (number < 1) return {};
  for (int n = 1;; ++n) {
    if (container.size() < kRecordHeaderSize || Le32(container) != 1) return {};
    const std::uint32_t length = Le32(container.subspan(4));
    if (length > container.size() - kRecordHeaderSize) return {};
    const std::size_t recordSize = kRecordHeaderSize + length;
    if (n == number) return container.first(recordSize);
    container = container.subspan(recordSize);
  }
}

std::optional<SkinPackage> ReadSkinPackage(std::span<const std::uint8_t> data) {
  if (data.size() < kPackageHeaderSize || !std::equal(kSignature.begin(), kSignature.end(), data.begin()))
    return std::nullopt;
  const auto properties = ReadLzmaProperties(data.subspan(10, 5));
  if (!properties) return std::nullopt;
  return SkinPackage{Le32(data.subspan(6)), *properties, data.subspan(kPackageHeaderSize)};
}

std::optional<std::vector<std::uint8_t>> UnpackSkin(std::span<const std::uint8_t> data, std::size_t limit) {
  const auto package = ReadSkinPackage(data);
  if (!package) return std::nullopt;
  return DecodeLzma(package->properties, package->stream, package->unpackedSize, limit);
}

}  // namespace vantoip::skin
