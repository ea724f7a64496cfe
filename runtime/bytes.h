// Byte-block operations. The empty block is the missing block.
#pragma once

#include <initializer_list>
#include <optional>
#include <span>

#include "runtime/value.h"

namespace vantoip {

int BytesLength(const ByteBlock& block);
ByteBlock ToBytes(const Value& value);
ByteBlock LeftBytes(const ByteBlock& block, int n);
ByteBlock ZeroBytes(int n);
ByteBlock ConcatBytes(std::initializer_list<std::span<const std::uint8_t>> blocks);

// Kinds of ReadBytesValue.
enum BytesValueKind : int {
  kReadByte = 1, kReadShort, kReadInteger, kReadLongInteger, kReadFloat, kReadDouble,
  kReadLogical, kReadDateTime, kReadSubroutinePointer, kReadText
};

// Reads a value of `kind` at the 1-based `position` (start of the block when
// omitted; nothing read below 1). A kind outside 1..10 is a fatal error.
Value ReadBytesValue(const ByteBlock& block, int kind, std::optional<int> position = std::nullopt);

// As above with the position passed by reference: it is advanced past what was
// read (a text also past its zero byte) and becomes -1 at or past the end.
Value ReadBytesValueAdvancing(const ByteBlock& block, int kind, int& position);

// The bytes of a block up to its first zero byte (all of them when there is none).
std::string BytesToText(std::span<const std::uint8_t> bytes);

}  // namespace vantoip
