#include "runtime/bytes.h"

#include <algorithm>
#include <cstring>

namespace vantoip {
namespace {

template <class T>
void AppendLittleEndian(ByteBlock& out, T value) {
  const std::size_t at = out.size();
  out.resize(at + sizeof(T));
  std::memcpy(out.data() + at, &value, sizeof(T));  // the program's platforms are little-endian
}

// Fixed-size read; bytes past the end read as zero.
template <class T>
T ReadFixed(const ByteBlock& block, std::size_t offset) {
  std::uint8_t raw[sizeof(T)] = {};
  if (offset < block.size())
    std::memcpy(raw, block.data() + offset, std::min(sizeof(T), block.size() - offset));
  T value;
  std::memcpy(&value, raw, sizeof(T));
  return value;
}

// Reads at a 0-based offset; returns the value and the number of bytes consumed.
std::pair<Value, std::size_t> ReadAt(const ByteBlock& block, int kind, std::size_t offset) {
  switch (kind) {
    case kReadByte: return {ReadFixed<std::uint8_t>(block, offset), 1};
    case kReadShort: return {ReadFixed<std::int16_t>(block, offset), 2};
    case kReadInteger: return {ReadFixed<std::int32_t>(block, offset), 4};
    case kReadLongInteger: return {ReadFixed<std::int64_t>(block, offset), 8};
    case kReadFloat: return {ReadFixed<float>(block, offset), 4};
    case kReadDouble: return {ReadFixed<double>(block, offset), 8};
    case kReadLogical: return {ReadFixed<std::int32_t>(block, offset) != 0, 4};
    case kReadDateTime: return {DateTime{ReadFixed<double>(block, offset)}, 8};
    case kReadSubroutinePointer:
      return {SubroutinePointer{ReadFixed<std::uint32_t>(block, offset)}, 4};
    case kReadText: {
      const auto rest = offset < block.size() ? std::span(block).subspan(offset)
                                              : std::span<const std::uint8_t>();
      std::string text = BytesToText(rest);
      const std::size_t consumed = text.size() + 1;
      return {std::move(text), consumed};
    }
    default: RaiseFatalError("“欲取出数据的类型”参数值无效");
  }
}

// The zero value of a kind, read from nothing; still rejects a bad kind.
Value EmptyValueOfKind(int kind) { return ReadAt(ByteBlock(), kind, 0).first; }

}  // namespace

int BytesLength(const ByteBlock& block) { return static_cast<int>(block.size()); }

ByteBlock ToBytes(const Value& value) {
  ByteBlock out;
  std::visit(
      [&](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::string>) out.assign(v.begin(), v.end());
        else if constexpr (std::is_same_v<T, ByteBlock>) out = v;
        else if constexpr (std::is_same_v<T, bool>) AppendLittleEndian<std::int32_t>(out, v ? 1 : 0);
        else if constexpr (std::is_same_v<T, DateTime>) AppendLittleEndian(out, v.days);
        else if constexpr (std::is_same_v<T, SubroutinePointer>) AppendLittleEndian(out, v.address);
        else AppendLittleEndian(out, v);
      },
      value);
  return out;
}

ByteBlock LeftBytes(const ByteBlock& block, int n) {
  if (n <= 0) return {};
  return ByteBlock(block.begin(), block.begin() + std::min<std::size_t>(n, block.size()));
}

ByteBlock ZeroBytes(int n) { return n <= 0 ? ByteBlock() : ByteBlock(n, 0); }

ByteBlock ConcatBytes(std::initializer_list<std::span<const std::uint8_t>> blocks) {
  ByteBlock out;
  for (const auto& b : blocks) out.insert(out.end(), b.begin(), b.end());
  return out;
}

std::string BytesToText(std::span<const std::uint8_t> bytes) {
  const auto zero = std::find(bytes.begin(), bytes.end(), 0);
  return std::string(bytes.begin(), zero);
}

Value ReadBytesValue(const ByteBlock& block, int kind, std::optional<int> position) {
  if (position && *position < 1) return EmptyValueOfKind(kind);
  return ReadAt(block, kind, position ? *position - 1 : 0).first;
}

Value ReadBytesValueAdvancing(const ByteBlock& block, int kind, int& position) {
  if (position < 1) return EmptyValueOfKind(kind);
  auto [value, consumed] = ReadAt(block, kind, position - 1);
  const std::size_t next = static_cast<std::size_t>(position - 1) + consumed;
  position = next >= block.size() ? -1 : static_cast<int>(next + 1);
  return std::move(value);
}

}  // namespace vantoip
