// ReadBytesValue over arbitrary blocks, kinds and positions, and the
// conversions of whatever it read. A kind outside 1..10 is a fatal error by
// design: the handler here turns it into an exception so that the run goes on
// and the target can check that exactly those kinds raise it.
// Input: kind byte, position byte, option byte, then the block.
#include <string>

#include "runtime/bytes.h"
#include "runtime/convert.h"
#include "tests/fuzz/fuzz_input.h"

namespace vantoip {
namespace {

struct FatalRaised {};
[[noreturn]] void ThrowFatal(int, const std::string&) { throw FatalRaised{}; }

bool IsKind(int kind) { return kind >= kReadByte && kind <= kReadText; }

void Convert(const Value& value) {
  static_cast<void>(ToText(value));
  static_cast<void>(ToNumber(value));
  static_cast<void>(ToInteger(value));
  static_cast<void>(ToBytes(value));
}

}  // namespace
}  // namespace vantoip

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vantoip::SetFatalErrorHandler(&vantoip::ThrowFatal);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantoip;
  const fuzz::Options options(data, size, 3);
  const ByteBlock block(data, data + size);
  const int kind = static_cast<std::int8_t>(options.Byte(0)) % 13;  // -12..12: both sides of 1..10
  const std::optional<int> position = options.Bit(2, 0) ? std::optional(options.Integer(1)) : std::nullopt;

  try {
    Convert(ReadBytesValue(block, kind, position));
    FUZZ_CHECK(IsKind(kind));
  } catch (const FatalRaised&) {
    FUZZ_CHECK(!IsKind(kind));
  }

  // Reading on by reference: below 1 nothing is read and the position stays;
  // otherwise it moves on, to -1 once it reaches the end.
  int cursor = options.Integer(1);
  for (int reads = 0; reads < 64; ++reads) {
    const int before = cursor;
    try {
      Convert(ReadBytesValueAdvancing(block, kind, cursor));
      FUZZ_CHECK(IsKind(kind));
    } catch (const FatalRaised&) {
      FUZZ_CHECK(!IsKind(kind));
      break;
    }
    if (before < 1) {
      FUZZ_CHECK(cursor == before);
      break;
    }
    FUZZ_CHECK(cursor == -1 || (cursor > before && cursor <= static_cast<int>(block.size())));
    if (cursor == -1) break;
  }
  return 0;
}
