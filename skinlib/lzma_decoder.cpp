#include "skinlib/lzma_decoder.h"

#include <algorithm>
#include <array>

namespace vantoip::skin {
namespace {

constexpr int kProbabilityBits = 11;
constexpr std::uint16_t kProbabilityHalf = 1 << (kProbabilityBits - 1);
constexpr int kAdaptShift = 5;
constexpr std::uint32_t kRangeTop = 1u << 24;

constexpr unsigned kStates = 12;
constexpr unsigned kMaxPositionStates = 1 << 4;
constexpr unsigned kLengthStates = 4;         // distance models keyed by min(length, 3)
constexpr unsigned kFirstDistanceSlotWithBits = 4;
constexpr unsigned kFirstAlignedSlot = 14;    // from here: direct bits plus 4 aligned bits
constexpr unsigned kFullDistances = 128;      // distances below this use per-slot models
constexpr unsigned kMinMatchLength = 2;
constexpr std::uint32_t kEndMarkerDistance = 0xFFFFFFFF;

using Probability = std::uint16_t;

// The binary arithmetic decoder the whole format rests on. Reading past the
// end of the input is recorded, not performed.
class RangeDecoder {
 public:
  explicit RangeDecoder(std::span<const std::uint8_t> input) : input_(input) {}

  bool Start() {
    const bool firstIsZero = NextByte() == 0;
    for (int i = 0; i < 4; ++i) code_ = (code_ << 8) | NextByte();
    return firstIsZero && code_ != range_ && !overrun_;
  }

  unsigned Bit(Probability& p) {
    const std::uint32_t bound = (range_ >> kProbabilityBits) * p;
    unsigned bit;
    if (code_ < bound) {
      p += ((1u << kProbabilityBits) - p) >> kAdaptShift;
      range_ = bound;
      bit = 0;
    } else {
      p -= p >> kAdaptShift;
      code_ -= bound;
      range_ -= bound;
      bit = 1;
    }
    Normalize();
    return bit;
  }

  // Bits with probability one half, most significant first.
  std::uint32_t DirectBits(unsigned count) {
    std::uint32_t result = 0;
    while (count--) {
      range_ >>= 1;
      const std::uint32_t bit = code_ >= range_ ? 1 : 0;
      if (bit) code_ -= range_;
      if (code_ >= range_) corrupt_ = true;  // only a damaged stream gets here
      Normalize();
      result = (result << 1) | bit;
    }
    return result;
  }

  bool EndedCleanly() const { return code_ == 0; }
  bool Failed() const { return overrun_ || corrupt_; }

 private:
  std::uint8_t NextByte() {
    if (position_ >= input_.size()) {
      overrun_ = true;
      return 0;
    }
    return input_[position_++];
  }
  void Normalize() {
    if (range_ < kRangeTop) {
      range_ <<= 8;
      code_ = (code_ << 8) | NextByte();
    }
  }

  std::span<const std::uint8_t> input_;
  std::size_t position_ = 0;
  std::uint32_t range_ = 0xFFFFFFFF;
  std::uint32_t code_ = 0;
  bool overrun_ = false;
  bool corrupt_ = false;
};

// A symbol of `bits` bits, most significant bit first.
template <std::size_t N>
unsigned TreeSymbol(RangeDecoder& rc, std::array<Probability, N>& probs, unsigned bits) {
  unsigned node = 1;
  for (unsigned i = 0; i < bits; ++i) node = (node << 1) | rc.Bit(probs[node]);
  return node - (1u << bits);
}

// A symbol of `bits` bits, least significant bit first; `probs` is indexed from 1.
unsigned ReverseTreeSymbol(RangeDecoder& rc, Probability* probs, unsigned bits) {
  unsigned node = 1;
  unsigned symbol = 0;
  for (unsigned i = 0; i < bits; ++i) {
    const unsigned bit = rc.Bit(probs[node]);
    node = (node << 1) | bit;
    symbol |= bit << i;
  }
  return symbol;
}

template <std::size_t N>
void Reset(std::array<Probability, N>& probs) {
  probs.fill(kProbabilityHalf);
}

// Match lengths 0-271 (before adding the minimum): 8 low, 8 middle, 256 high.
struct LengthModel {
  Probability choice = kProbabilityHalf;
  Probability choice2 = kProbabilityHalf;
  std::array<std::array<Probability, 8>, kMaxPositionStates> low;
  std::array<std::array<Probability, 8>, kMaxPositionStates> middle;
  std::array<Probability, 256> high;

  LengthModel() {
    for (auto& p : low) Reset(p);
    for (auto& p : middle) Reset(p);
    Reset(high);
  }
  unsigned Decode(RangeDecoder& rc, unsigned positionState) {
    if (rc.Bit(choice) == 0) return TreeSymbol(rc, low[positionState], 3);
    if (rc.Bit(choice2) == 0) return 8 + TreeSymbol(rc, middle[positionState], 3);
    return 16 + TreeSymbol(rc, high, 8);
  }
};

struct Model {
  std::vector<Probability> literals;
  std::array<std::array<Probability, kMaxPositionStates>, kStates> isMatch;
  std::array<Probability, kStates> isRep, isRepG0, isRepG1, isRepG2;
  std::array<std::array<Probability, kMaxPositionStates>, kStates> isRep0Long;
  std::array<std::array<Probability, 64>, kLengthStates> distanceSlot;
  std::array<Probability, 1 + kFullDistances - kFirstAlignedSlot> distanceBits;
  std::array<Probability, 16> align;
  LengthModel matchLength, repLength;

  explicit Model(const LzmaProperties& p) : literals(std::size_t{0x300} << (p.lc + p.lp), kProbabilityHalf) {
    for (auto& row : isMatch) Reset(row);
    for (auto& row : isRep0Long) Reset(row);
    for (auto& row : distanceSlot) Reset(row);
    Reset(isRep), Reset(isRepG0), Reset(isRepG1), Reset(isRepG2);
    Reset(distanceBits), Reset(align);
  }
};

unsigned AfterLiteral(unsigned state) { return state < 4 ? 0 : state < 10 ? state - 3 : state - 6; }
unsigned AfterMatch(unsigned state) { return state < 7 ? 7 : 10; }
unsigned AfterRep(unsigned state) { return state < 7 ? 8 : 11; }
unsigned AfterShortRep(unsigned state) { return state < 7 ? 9 : 11; }

std::uint32_t DecodeDistance(RangeDecoder& rc, Model& m, unsigned length) {
  const unsigned slot = TreeSymbol(rc, m.distanceSlot[std::min(length, kLengthStates - 1)], 6);
  if (slot < kFirstDistanceSlotWithBits) return slot;
  const unsigned footerBits = (slot >> 1) - 1;
  std::uint32_t distance = (2u | (slot & 1u)) << footerBits;
  if (slot < kFirstAlignedSlot) return distance + ReverseTreeSymbol(rc, &m.distanceBits[distance - slot], footerBits);
  distance += rc.DirectBits(footerBits - 4) << 4;
  return distance + ReverseTreeSymbol(rc, m.align.data(), 4);
}

class Decoder {
 public:
  Decoder(const LzmaProperties& p, std::span<const std::uint8_t> stream, std::optional<std::uint64_t> size,
          std::size_t limit)
      : p_(p), rc_(stream), model_(p), size_(size), limit_(size ? static_cast<std::size_t>(*size) : limit) {}

  std::optional<std::vector<std::uint8_t>> Run() {
    if (size_) out_.reserve(limit_);
    if (!rc_.Start()) return std::nullopt;
    const unsigned positionMask = (1u << p_.pb) - 1;
    for (;;) {
      if (rc_.Failed()) return std::nullopt;
      // At the stated size the stream may simply end, or carry the end marker next.
      if (size_ && out_.size() == limit_ && rc_.EndedCleanly()) break;
      const auto positionState = static_cast<unsigned>(out_.size() & positionMask);
      if (rc_.Bit(model_.isMatch[state_][positionState]) == 0) {
        if (out_.size() == limit_) return std::nullopt;
        Literal();
        continue;
      }
      unsigned length;
      if (rc_.Bit(model_.isRep[state_])) {
        if (out_.empty() || out_.size() == limit_) return std::nullopt;
        if (rc_.Bit(model_.isRepG0[state_]) == 0) {
          if (rc_.Bit(model_.isRep0Long[state_][positionState]) == 0) {
            state_ = AfterShortRep(state_);
            if (!Copy(1)) return std::nullopt;
            continue;
          }
        } else {
          RotateReps();
        }
        length = model_.repLength.Decode(rc_, positionState);
        state_ = AfterRep(state_);
      } else {
        reps_[3] = reps_[2], reps_[2] = reps_[1], reps_[1] = reps_[0];
        length = model_.matchLength.Decode(rc_, positionState);
        state_ = AfterMatch(state_);
        reps_[0] = DecodeDistance(rc_, model_, length);
        if (reps_[0] == kEndMarkerDistance) {
          if (rc_.Failed() || !rc_.EndedCleanly() || (size_ && out_.size() != limit_)) return std::nullopt;
          break;
        }
        if (reps_[0] >= p_.dictionarySize) return std::nullopt;
      }
      if (!Copy(length + kMinMatchLength)) return std::nullopt;
    }
    if (rc_.Failed()) return std::nullopt;
    return std::move(out_);
  }

 private:
  void Literal() {
    const unsigned previous = out_.empty() ? 0 : out_.back();
    const std::size_t context = ((out_.size() & ((1u << p_.lp) - 1)) << p_.lc) + (previous >> (8 - p_.lc));
    Probability* probs = &model_.literals[0x300 * context];
    unsigned symbol = 1;
    if (state_ >= 7) {  // after a match: the byte at the last distance steers the first bits
      unsigned matchByte = out_[out_.size() - reps_[0] - 1];
      while (symbol < 0x100) {
        const unsigned matchBit = (matchByte >> 7) & 1;
        matchByte <<= 1;
        const unsigned bit = rc_.Bit(probs[((1 + matchBit) << 8) + symbol]);
        symbol = (symbol << 1) | bit;
        if (bit != matchBit) break;
      }
    }
    while (symbol < 0x100) symbol = (symbol << 1) | rc_.Bit(probs[symbol]);
    out_.push_back(static_cast<std::uint8_t>(symbol));
    state_ = AfterLiteral(state_);
  }

  // Moves rep 1, 2 or 3 to the front, the ones before it one place back.
  void RotateReps() {
    unsigned chosen = 1;
    if (rc_.Bit(model_.isRepG1[state_])) chosen = rc_.Bit(model_.isRepG2[state_]) ? 3 : 2;
    const std::uint32_t distance = reps_[chosen];
    for (unsigned i = chosen; i > 0; --i) reps_[i] = reps_[i - 1];
    reps_[0] = distance;
  }

  // Appends `length` bytes from reps_[0] + 1 back; a distance before the start
  // or a run past the end is damage.
  bool Copy(std::size_t length) {
    if (reps_[0] >= out_.size() || length > limit_ - out_.size()) return false;
    std::size_t from = out_.size() - reps_[0] - 1;
    while (length--) out_.push_back(out_[from++]);
    return true;
  }

  const LzmaProperties p_;
  RangeDecoder rc_;
  Model model_;
  const std::optional<std::uint64_t> size_;
  const std::size_t limit_;
  std::vector<std::uint8_t> out_;
  unsigned state_ = 0;
  std::array<std::uint32_t, 4> reps_{};
};

}  // namespace

std::optional<LzmaProperties> ReadLzmaProperties(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 5 || bytes[0] >= 9 * 5 * 5) return std::nullopt;
  LzmaProperties p;
  p.lc = bytes[0] % 9;
  p.lp = (bytes[0] / 9) % 5;
  p.pb = bytes[0] / 45;
  p.dictionarySize = std::max<std::uint32_t>(
      4096, bytes[1] | (bytes[2] << 8) | (bytes[3] << 16) | (std::uint32_t{bytes[4]} << 24));
  return p;
}

std::optional<std::vector<std::uint8_t>> DecodeLzma(const LzmaProperties& properties,
                                                    std::span<const std::uint8_t> stream,
                                                    std::optional<std::uint64_t> unpackedSize,
                                                    std::size_t outputLimit) {
  if (properties.lc > 8 || properties.lp > 4 || properties.pb > 4) return std::nullopt;
  if (unpackedSize && *unpackedSize > outputLimit) return std::nullopt;
  return Decoder(properties, stream, unpackedSize, outputLimit).Run();
}

}  // namespace vantoip::skin
