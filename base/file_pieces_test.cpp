#include "base/file_pieces.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace vespodar {

namespace {

// A "file" of numbered bytes; the walk must give back exactly the asked range,
// in order, in pieces no larger than the buffer, and stop at the first failure.
TEST(FilePiecesTest, CoversTheRangeInOrderAndStopsAtTheFirstFailure) {
  std::string file(1000, '\0');
  for (std::size_t i = 0; i < file.size(); ++i) file[i] = static_cast<char>(i * 31);
  struct Case {
    std::size_t offset, size, buffer;
    std::vector<std::size_t> pieces;
  };
  const Case cases[] = {
      {0, 0, 64, {}},                // nothing to read
      {10, 64, 64, {64}},            // exactly one piece
      {10, 65, 64, {64, 1}},         // one byte more: a short last piece
      {100, 900, 256, {256, 256, 256, 132}},
      {999, 1, 256, {1}},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> buffer(c.buffer);
    std::string got;
    std::vector<std::size_t> pieces;
    const bool done = ForEachPiece(
        c.offset, c.size, buffer.data(), buffer.size(),
        [&](std::size_t offset, std::size_t count, std::uint8_t* out) {
          EXPECT_EQ(offset, c.offset + got.size());
          EXPECT_LE(count, c.buffer);
          std::copy(file.begin() + offset, file.begin() + offset + count, out);
          return true;
        },
        [&](const std::uint8_t* data, std::size_t count) {
          got.append(reinterpret_cast<const char*>(data), count);
          pieces.push_back(count);
          return true;
        });
    EXPECT_TRUE(done);
    EXPECT_EQ(got, file.substr(c.offset, c.size)) << c.offset << "+" << c.size;
    EXPECT_EQ(pieces, c.pieces) << c.offset << "+" << c.size;
  }

  // A failed read, or a take that refuses, ends the walk there.
  std::vector<std::uint8_t> buffer(100);
  for (const bool readFails : {true, false}) {
    int reads = 0, takes = 0;
    const bool done = ForEachPiece(
        0, 1000, buffer.data(), buffer.size(),
        [&](std::size_t, std::size_t, std::uint8_t*) { return ++reads < 3 || !readFails; },
        [&](const std::uint8_t*, std::size_t) { return ++takes < 3 || readFails; });
    EXPECT_FALSE(done);
    EXPECT_EQ(reads, 3);
    EXPECT_EQ(takes, readFails ? 2 : 3);
  }
}

}  // namespace

}  // namespace vespodar
