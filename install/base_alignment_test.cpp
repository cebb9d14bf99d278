#include "install/base_alignment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/little_endian.h"

namespace vespodar {

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(BaseAlignmentTest, AddBytesWrapsEachByteAlone) {
  // Every pair of high and low bytes, at every alignment and an odd length,
  // against the byte-at-a-time sum: a carry into the next byte would show.
  Bytes from(300), to(300);
  for (std::size_t i = 0; i < from.size(); ++i) {
    from[i] = static_cast<std::uint8_t>(i * 37 + 0x80);
    to[i] = static_cast<std::uint8_t>(0xFF - i * 11);
  }
  for (std::size_t start = 0; start < 8; ++start) {
    Bytes sum = to, expected = to;
    const std::size_t count = from.size() - start - 3;
    AddBytes(sum.data() + start, from.data() + start, count);
    for (std::size_t i = start; i < start + count; ++i)
      expected[i] = static_cast<std::uint8_t>(to[i] + from[i]);
    EXPECT_EQ(expected, sum) << start;
  }
}

void Record(Bytes* records, std::uint64_t differences, std::uint64_t fresh, std::int64_t move) {
  std::uint8_t record[kAlignmentRecordSize];
  const std::uint64_t fields[] = {differences, fresh, static_cast<std::uint64_t>(move)};
  for (int i = 0; i < 3; ++i) {
    WriteLe32(record + 8 * i, static_cast<std::uint32_t>(fields[i]));
    WriteLe32(record + 8 * i + 4, static_cast<std::uint32_t>(fields[i] >> 32));
  }
  records->insert(records->end(), record, record + sizeof(record));
}

struct Outcome {
  bool taken, ended;
  Bytes view;
};

Outcome Apply(const Bytes& records, std::size_t piece, std::size_t size = 10) {
  const Bytes base = {1, 2, 3, 4, 5, 6, 7, 8};
  Outcome outcome{true, false, Bytes(size, 100)};
  Sha256State hash;
  Sha256Init(&hash);
  BaseAlignment alignment(outcome.view.data(), size, base.data(), base.size(), &hash);
  for (std::size_t at = 0; at < records.size() && outcome.taken; at += piece)
    outcome.taken = alignment.Take(records.data() + at, std::min(piece, records.size() - at));
  outcome.ended = alignment.Ended();
  return outcome;
}

TEST(BaseAlignmentTest, RecordsAddTheLinedUpBaseAndStayInside) {
  // Differences 0-2 against base 2-4, three new bytes, base back to 0 for
  // the rest: 4 + 3 + 3 = 10.
  Bytes fits;
  Record(&fits, 3, 3, 2);  // the base at 3 + 2 = 5 after it
  Bytes back = fits;
  Record(&back, 4, 0, 0);
  Bytes good;
  Record(&good, 0, 0, 2);
  Record(&good, 3, 3, -5);
  Record(&good, 4, 0, 99);  // a move after the last use goes anywhere near
  Bytes pastBase, pastFile, beforeBase, half, wild;
  Record(&pastBase, 0, 0, 6);
  Record(&pastBase, 3, 7, 0);  // base 6..8 is one past its end
  Record(&pastFile, 5, 6, 0);
  Record(&beforeBase, 0, 0, -1);
  Record(&beforeBase, 1, 9, 0);
  half = good;
  half.resize(half.size() - 5);
  Record(&wild, 0, 0, std::int64_t{1} << 60);
  const struct {
    const char* name;
    const Bytes& records;
    bool taken, ended;
  } cases[] = {
      {"lined up", good, true, true},        {"short of the file", fits, true, false},
      {"past the base", pastBase, false, false}, {"past the file", pastFile, false, false},
      {"before the base", beforeBase, false, false}, {"half a record", half, true, false},
      {"a move beyond any file", wild, false, false}, {"back over the base", back, false, false},
  };
  for (const auto& c : cases) {
    for (const std::size_t piece : {std::size_t(1000), std::size_t(7), std::size_t(1)}) {
      const Outcome outcome = Apply(c.records, piece);
      EXPECT_EQ(c.taken, outcome.taken) << c.name << " " << piece;
      EXPECT_EQ(c.ended, outcome.ended) << c.name << " " << piece;
    }
  }
  const Bytes expected = {103, 104, 105, 100, 100, 100, 101, 102, 103, 104};
  EXPECT_EQ(expected, Apply(good, 5).view);
}

// A call and a RIP-relative lea in a stretch that stays put, into a stretch
// that moved 3 bytes on: the differences are all zeros once the base's
// branches are moved through the alignment. A "call" whose target lies in no
// lined-up stretch, and an E8 whose operand would leave its stretch, stay
// as they are.
TEST(BaseAlignmentTest, MovedBranchesFollowTheirTargets) {
  Bytes base(64, 0x90);
  const auto call = [&base](std::size_t at, std::int32_t displacement) {
    base[at] = 0xE8;
    WriteLe32(&base[at + 1], static_cast<std::uint32_t>(displacement));
  };
  call(4, 40 - 9);    // into the second stretch, at 40
  call(12, 60 - 17);  // into the base's tail, which lines up with nothing
  call(29, 39 - 34);  // a jump, its operand across the first stretch's end
  base[29] = 0xE9;
  const std::uint8_t lea[] = {0x48, 0x8D, 0x05};  // lea rax, [rip + 44 - 24]
  std::copy(lea, lea + 3, base.begin() + 17);
  WriteLe32(&base[20], 44 - 24);
  // The new file: base 0..31 in place, 3 new bytes, then base 32..63.
  Bytes file(base.begin(), base.begin() + 32);
  file.insert(file.end(), {1, 2, 3});
  file.insert(file.end(), base.begin() + 32, base.end());
  WriteLe32(&file[5], 43 - 9);  // the call to 40 reaches 43 now
  WriteLe32(&file[20], 47 - 24);  // and the lea 47
  Bytes records;
  Record(&records, 32, 3, 0);
  Record(&records, 20, 0, 12);  // base 32..51; 52..63 not lined up
  Record(&records, 0, 12, 0);
  std::copy(base.begin() + 52, base.end(), file.begin() + 55);
  const Bytes expected = file;
  for (const bool moved : {true, false}) {
    Bytes view(file.size(), 0);  // the differences: zero where lined up
    std::copy(file.begin() + 32, file.begin() + 35, view.begin() + 32);
    std::copy(file.begin() + 55, file.end(), view.begin() + 55);
    Sha256State hash;
    Sha256Init(&hash);
    BaseAlignment alignment(view.data(), view.size(), base.data(), base.size(), &hash, moved);
    ASSERT_TRUE(alignment.Take(records.data(), records.size()));
    ASSERT_TRUE(alignment.Finish());
    EXPECT_TRUE(alignment.Ended());
    EXPECT_EQ(moved, view == expected) << moved;
    EXPECT_EQ(moved ? 3 : 0, view[5] - base[5]) << "the call's new target, from no differences";
  }
}

// Moved branches hold their stretches until the end, and no more than they may.
TEST(BaseAlignmentTest, MovedBranchesRefuseAnAlignmentTooLongToHold) {
  for (const std::size_t count : {kMostMovedStretches, kMostMovedStretches + 1}) {
    Bytes records;
    for (std::size_t i = 0; i < count; ++i) Record(&records, 0, 1, 0);
    Bytes view(count, 7);
    const Bytes base = {1};
    Sha256State hash;
    Sha256Init(&hash);
    BaseAlignment alignment(view.data(), view.size(), base.data(), base.size(), &hash, true);
    const bool taken = alignment.Take(records.data(), records.size());
    const bool held = count == kMostMovedStretches;
    EXPECT_EQ(held, taken && alignment.Finish() && alignment.Ended()) << count;
  }
}

}  // namespace

}  // namespace vespodar
