#include "install/base_alignment.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "base/little_endian.h"

namespace vespodar {

namespace {

// A move further than any file the setup takes is no record of a real pair;
// refusing it keeps the position's sums far from overflowing.
const std::int64_t kLongestMove = std::int64_t{1} << 48;

}  // namespace

void AddBytes(std::uint8_t* to, const std::uint8_t* from, std::size_t count) {
  // A word at a time, the bytes kept apart: the low seven bits of each are
  // added, then the top bits put back by XOR, so no carry crosses a byte.
  // Without SSE2 (the 32-bit setup assumes none) this is what keeps the add
  // at memory speed.
  using Word = std::uintptr_t;
  const Word low = static_cast<Word>(0x7F7F7F7F7F7F7F7FULL);
  const Word high = ~low;
  std::size_t i = 0;
  for (; i + sizeof(Word) <= count; i += sizeof(Word)) {
    Word a, b;
    std::memcpy(&a, to + i, sizeof(a));
    std::memcpy(&b, from + i, sizeof(b));
    const Word sum = ((a & low) + (b & low)) ^ ((a ^ b) & high);
    std::memcpy(to + i, &sum, sizeof(sum));
  }
  for (; i < count; ++i) to[i] = static_cast<std::uint8_t>(to[i] + from[i]);
}

bool BaseAlignment::Take(const std::uint8_t* bytes, std::size_t count) {
  if (carried_) {
    const std::size_t wanted = kAlignmentRecordSize - carried_;
    const std::size_t more = wanted < count ? wanted : count;
    std::memcpy(record_ + carried_, bytes, more);
    carried_ += more;
    bytes += more;
    count -= more;
    if (carried_ < kAlignmentRecordSize) return true;
    carried_ = 0;
    if (!Apply(record_)) return false;
  }
  for (; count >= kAlignmentRecordSize; count -= kAlignmentRecordSize) {
    if (!Apply(bytes)) return false;
    bytes += kAlignmentRecordSize;
  }
  std::memcpy(record_, bytes, count);
  carried_ = count;
  return true;
}

bool BaseAlignment::Apply(const std::uint8_t* record) {
  const std::uint64_t differences = ReadLe64(record);
  const std::uint64_t fresh = ReadLe64(record + 8);
  const std::int64_t move = static_cast<std::int64_t>(ReadLe64(record + 16));
  const std::uint64_t left = size_ - at_;
  if (differences > left || fresh > left - differences || move > kLongestMove ||
      move < -kLongestMove)
    return false;
  // Only where it is used must the base's position lie inside the base.
  if (differences &&
      (basePosition_ < 0 || static_cast<std::uint64_t>(basePosition_) > baseSize_ ||
       differences > baseSize_ - static_cast<std::uint64_t>(basePosition_)))
    return false;
  const Stretch stretch = {static_cast<std::uint64_t>(differences ? basePosition_ : 0), at_,
                           differences, fresh};
  if (moveBranches_) {
    held_ = true;
    if (stretches_.size() == kMostMovedStretches) tooMany_ = true;
    else stretches_.push_back(stretch);
  } else {
    Write(stretch);
  }
  at_ += static_cast<std::size_t>(differences + fresh);
  basePosition_ += static_cast<std::int64_t>(differences) + move;
  // Kept within reach of any later check: never further than a move from the base.
  return !tooMany_ && basePosition_ >= -kLongestMove && basePosition_ <= kLongestMove;
}

void BaseAlignment::Write(const Stretch& stretch) {
  const std::size_t at = static_cast<std::size_t>(stretch.at);
  const std::size_t differences = static_cast<std::size_t>(stretch.differences);
  AddBytes(view_ + at, base_ + stretch.base, differences);
  if (moveBranches_) MoveBranches(stretch);
  Sha256Update(hash_, view_ + at, differences + static_cast<std::size_t>(stretch.fresh));
}

bool BaseAlignment::Finish() {
  if (!held_) return true;
  if (tooMany_ || carried_ != 0) return false;
  for (std::size_t i = 0; i < stretches_.size(); ++i)
    if (stretches_[i].differences) byBase_.push_back(static_cast<std::uint32_t>(i));
  std::sort(byBase_.begin(), byBase_.end(), [this](std::uint32_t a, std::uint32_t b) {
    const Stretch& x = stretches_[a];
    const Stretch& y = stretches_[b];
    return x.base != y.base ? x.base < y.base : x.at < y.at;
  });
  // The searches run over the positions alone, side by side in memory.
  bases_.reserve(byBase_.size());
  for (const std::uint32_t k : byBase_) bases_.push_back(stretches_[k].base);
  for (const Stretch& stretch : stretches_) Write(stretch);
  held_ = false;
  return true;
}

namespace {

// Opcodes (alone, or after 0F) whose ModRM byte may name a 32-bit
// displacement from the next instruction (RIP-relative, on x86-64) and that
// take no immediate, so that the instruction ends with the displacement:
// the arithmetic and compare forms, test, xchg, mov, lea, FF's call, jmp
// and push through memory; after 0F the SSE moves and arithmetic, movzx and
// movsx. tools/encode_package.py names the same ones.
constexpr std::uint8_t kRelativeOperandOpcodes[] = {
    0x01, 0x03, 0x09, 0x0B, 0x10, 0x11, 0x12, 0x16, 0x21, 0x23, 0x28, 0x29, 0x2B, 0x2E,
    0x2F, 0x31, 0x33, 0x39, 0x3B, 0x51, 0x54, 0x57, 0x58, 0x59, 0x5A, 0x5C, 0x5E, 0x6E,
    0x6F, 0x7E, 0x7F, 0x85, 0x87, 0x89, 0x8B, 0x8D, 0xB6, 0xB7, 0xBE, 0xBF, 0xD6, 0xFF};

// What each byte may begin (kBranch: E8, E9; kRelative: an opcode of the
// list) and what each may be as the byte after it (kRelative: a ModRM byte
// of mod 00, r/m 101), so that one AND of two lookups tells a guess from
// the many bytes that are none, with one branch that is seldom taken.
constexpr std::uint8_t kBranch = 1, kRelative = 2;
struct GuessTables {
  std::uint8_t first[256] = {};
  std::uint8_t second[256] = {};
  constexpr GuessTables() {
    first[0xE8] = first[0xE9] = kBranch;
    for (const std::uint8_t opcode : kRelativeOperandOpcodes) first[opcode] |= kRelative;
    for (int byte = 0; byte < 256; ++byte)
      second[byte] = static_cast<std::uint8_t>(kBranch | ((byte & 0xC7) == 0x05 ? kRelative : 0));
  }
};
constexpr GuessTables kGuesses;

}  // namespace

void BaseAlignment::MoveBranches(const Stretch& stretch) {
  const std::uint8_t* old = base_ + stretch.base;
  std::uint8_t* now = view_ + stretch.at;
  // The operand at OPERAND (from the stretch's start), reaching from NEXT.
  const auto move = [&](std::uint64_t operand, std::uint64_t next) {
    const std::int32_t was = static_cast<std::int32_t>(ReadLe32(old + operand));
    const std::int64_t target = static_cast<std::int64_t>(stretch.base + next) + was;
    if (target < 0 || static_cast<std::uint64_t>(target) >= baseSize_) return;
    // The last lined-up stretch that starts at or before the target.
    const auto after =
        std::upper_bound(bases_.begin(), bases_.end(), static_cast<std::uint64_t>(target));
    if (after == bases_.begin()) return;
    const Stretch& holder = stretches_[byBase_[static_cast<std::size_t>(after - bases_.begin()) - 1]];
    const std::uint64_t into = static_cast<std::uint64_t>(target) - holder.base;
    if (into >= holder.differences) return;
    const std::int64_t moved = static_cast<std::int64_t>(holder.at + into) -
                               static_cast<std::int64_t>(stretch.at + next);
    if (moved < INT32_MIN || moved > INT32_MAX || moved == was) return;
    std::uint8_t from[4], to[4];
    WriteLe32(from, static_cast<std::uint32_t>(was));
    WriteLe32(to, static_cast<std::uint32_t>(moved));
    for (int k = 0; k < 4; ++k)
      now[operand + k] = static_cast<std::uint8_t>(now[operand + k] + to[k] - from[k]);
  };
  for (std::uint64_t i = 0; i + 5 <= stretch.differences; ++i) {
    const std::uint8_t guess = kGuesses.first[old[i]] & kGuesses.second[old[i + 1]];
    if (!guess) continue;
    if (guess & kBranch) move(i + 1, i + 5);
    if ((guess & kRelative) && i + 6 <= stretch.differences) move(i + 2, i + 6);
  }
}

}  // namespace vespodar
