// The LZMA decoder over arbitrary streams. Whatever it accepts must be what
// liblzma makes of the same stream: the decoder may be stricter, never wrong.
// Input: the .lzma layout (five property bytes, 64-bit unpacked size with all
// ones for "unknown", the raw stream).
#include <lzma.h>

#include <algorithm>
#include <vector>

#include "skinlib/lzma_decoder.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

constexpr std::size_t kHeaderBytes = 13;
constexpr std::size_t kOutputLimit = 1 << 20;

// liblzma's reading of the whole input; nullopt when it reports damage.
std::optional<std::vector<std::uint8_t>> ReferenceDecode(const std::uint8_t* data, std::size_t size,
                                                          std::size_t capacity) {
  lzma_stream stream = LZMA_STREAM_INIT;
  if (lzma_alone_decoder(&stream, UINT64_MAX) != LZMA_OK) return std::nullopt;
  std::vector<std::uint8_t> out(capacity);
  stream.next_in = data;
  stream.avail_in = size;
  stream.next_out = out.data();
  stream.avail_out = out.size();
  lzma_ret result = LZMA_OK;
  while (result == LZMA_OK && stream.avail_out > 0) result = lzma_code(&stream, LZMA_FINISH);
  const std::size_t produced = out.size() - stream.avail_out;
  lzma_end(&stream);
  if (result != LZMA_STREAM_END && result != LZMA_OK) return std::nullopt;
  out.resize(produced);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantoip::skin;
  if (size < kHeaderBytes) return 0;
  const auto properties = ReadLzmaProperties({data, 5});
  if (!properties) return 0;
  std::uint64_t unpackedSize = 0;
  for (int i = 0; i < 8; ++i) unpackedSize |= std::uint64_t{data[5 + i]} << (8 * i);
  const std::optional<std::uint64_t> known =
      unpackedSize == UINT64_MAX ? std::nullopt : std::optional(unpackedSize);

  const auto decoded = DecodeLzma(*properties, {data + kHeaderBytes, size - kHeaderBytes}, known, kOutputLimit);
  if (!decoded) return 0;
  FUZZ_CHECK(decoded->size() <= kOutputLimit);
  if (known) FUZZ_CHECK(decoded->size() == *known);
  // liblzma takes lc + lp up to 4 only.
  if (properties->lc + properties->lp > 4) return 0;
  // liblzma allocates the whole stated dictionary; one as large as the output
  // (or the stated one, when smaller) admits every distance the decoder did.
  std::vector<std::uint8_t> input(data, data + size);
  const auto dictionary = static_cast<std::uint32_t>(
      std::min<std::uint64_t>(properties->dictionarySize, std::max<std::size_t>(4096, decoded->size())));
  for (int i = 0; i < 4; ++i) input[1 + i] = static_cast<std::uint8_t>(dictionary >> (8 * i));
  const auto reference = ReferenceDecode(input.data(), input.size(), decoded->size() + 1);
  FUZZ_CHECK(reference.has_value());
  FUZZ_CHECK(*reference == *decoded);
  return 0;
}
