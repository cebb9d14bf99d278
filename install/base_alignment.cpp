#include "install/base_alignment.h"

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
  if (differences) {
    // Only where it is used must the base's position lie inside the base.
    if (basePosition_ < 0 || static_cast<std::uint64_t>(basePosition_) > baseSize_ ||
        differences > baseSize_ - static_cast<std::uint64_t>(basePosition_))
      return false;
    AddBytes(view_ + at_, base_ + basePosition_, static_cast<std::size_t>(differences));
  }
  const std::size_t stretch = static_cast<std::size_t>(differences + fresh);
  Sha256Update(hash_, view_ + at_, stretch);
  at_ += stretch;
  basePosition_ += static_cast<std::int64_t>(differences) + move;
  // Kept within reach of any later check: never further than a move from the base.
  return basePosition_ >= -kLongestMove && basePosition_ <= kLongestMove;
}

}  // namespace vespodar
