#include "install/x86_branches.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace vespodar {

namespace {

using Bytes = std::vector<std::uint8_t>;

// Code as a compiler leaves it, roughly: calls and jumps to a few targets
// near and far, among other bytes, some of them E8 and E9 that are no
// instruction at all.
Bytes Code(std::size_t size, std::uint32_t seed) {
  Bytes bytes(size);
  std::uint32_t x = seed;
  for (std::size_t at = 0; at < size;) {
    x = x * 1103515245 + 12345;
    if ((x >> 28) < 5 && at + 5 <= size) {
      const std::uint32_t targets[] = {0x400, 0x13570, 0x00FFFFF0, 0x0A000000};
      const std::uint32_t relative = targets[(x >> 8) % 4] - static_cast<std::uint32_t>(at + 5);
      bytes[at] = (x >> 16) & 1 ? 0xE8 : 0xE9;
      std::memcpy(&bytes[at + 1], &relative, 4);  // little-endian hosts only
      at += 5;
    } else {
      bytes[at++] = static_cast<std::uint8_t>(x >> 20);
    }
  }
  return bytes;
}

// Runs CONVERT over BYTES in pieces of PIECE bytes, each piece's unfinished
// end handed in again at the front of the next, as the decoder does.
Bytes InPieces(Bytes bytes, std::size_t piece, std::uint64_t offset,
               std::size_t (*convert)(std::uint8_t*, std::size_t, std::uint64_t)) {
  Bytes out;
  Bytes buffer;
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    buffer.insert(buffer.end(), bytes.begin() + at,
                  bytes.begin() + std::min(bytes.size(), at + piece));
    const std::size_t done = convert(buffer.data(), buffer.size(), offset + out.size());
    EXPECT_LE(buffer.size() - done, 4u);
    out.insert(out.end(), buffer.begin(), buffer.begin() + done);
    buffer.erase(buffer.begin(), buffer.begin() + done);
  }
  out.insert(out.end(), buffer.begin(), buffer.end());
  return out;
}

TEST(X86BranchesTest, RestoreUndoesTheFilterInAnyPieces) {
  const Bytes code = Code(200000, 7);
  const struct {
    std::uint64_t offset;
    std::size_t filterPiece, restorePiece;
  } cases[] = {
      {0, 200000, 200000}, {0, 200000, 1}, {0, 7, 131072}, {0, 4096, 5},
      {(std::uint64_t{1} << 32) - 100000, 65536, 999},  // the position wraps past 4 GiB
  };
  for (const auto& c : cases) {
    const Bytes filtered = InPieces(code, c.filterPiece, c.offset, FilterX86Branches);
    EXPECT_NE(code, filtered) << c.offset;
    EXPECT_EQ(filtered, InPieces(code, 200000, c.offset, FilterX86Branches))
        << "pieces " << c.filterPiece << " convert as the whole";
    EXPECT_EQ(code, InPieces(filtered, c.restorePiece, c.offset, RestoreX86Branches))
        << c.offset << " " << c.filterPiece << " " << c.restorePiece;
  }
}

// What the filter is for: calls of one target from different places become
// the same bytes.
TEST(X86BranchesTest, CallsOfOneTargetBecomeTheSameBytes) {
  Bytes code(64, 0x90);
  const std::uint32_t target = 0x1000;
  for (const std::size_t at : {std::size_t(3), std::size_t(40)}) {
    const std::uint32_t relative = target - static_cast<std::uint32_t>(at + 5);
    code[at] = 0xE8;
    std::memcpy(&code[at + 1], &relative, 4);
  }
  Bytes far = code;
  far[20] = 0xE8;  // an operand beyond +-16 MiB is left as it is
  far[24] = 0x7F;
  const Bytes before = far;
  EXPECT_EQ(60u, FilterX86Branches(far.data(), far.size(), 0));
  EXPECT_EQ(0, std::memcmp(&far[4], &far[41], 4));
  EXPECT_EQ(0, std::memcmp(&far[21], &before[21], 4));
  EXPECT_EQ(60u, RestoreX86Branches(far.data(), far.size(), 0));
  EXPECT_EQ(before, far);
}

}  // namespace

}  // namespace vespodar
