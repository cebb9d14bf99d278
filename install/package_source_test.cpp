#include "install/package_source.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/little_endian.h"

namespace vespodar {

namespace {

void Put32(std::vector<std::uint8_t>& table, std::size_t at, std::uint32_t value) {
  WriteLe32(&table[at], value);
}

// A section table as a linker writes it: code, uninitialised data (no bytes
// in the file), the resources with the package, relocations.
std::vector<std::uint8_t> Sections() {
  struct Section {
    std::uint32_t address, rawSize, rawOffset;
  };
  const Section sections[] = {{0x1000, 0x13600, 0x400},
                              {0x15000, 0, 0},
                              {0x22000, 0x206c00, 0x1b600},
                              {0xfffff000, 0x1000, 0x300000}};
  std::vector<std::uint8_t> table(40 * 4, 0);
  for (std::size_t i = 0; i < 4; ++i) {
    Put32(table, 40 * i + 12, sections[i].address);
    Put32(table, 40 * i + 16, sections[i].rawSize);
    Put32(table, 40 * i + 20, sections[i].rawOffset);
  }
  return table;
}

TEST(PackageSourceTest, FileOffsetOfAnImageRangeOnlyWhereOneSectionHoldsItInTheFile) {
  const std::vector<std::uint8_t> table = Sections();
  struct Case {
    std::uint32_t rva, size;
    bool found;
    std::uint32_t offset;
  };
  const Case cases[] = {
      {0x22000, 0x206c00, true, 0x1b600},   // the whole resource section
      {0x22058, 2122319, true, 0x1b658},    // the package inside it
      {0x1000, 1, true, 0x400},             // the first byte of the code
      {0x14600, 1, false, 0},               // past the code's bytes: its zero fill
      {0x22058, 0x206c00, false, 0},        // runs past the section's bytes
      {0x15000, 4, false, 0},               // uninitialised data has no bytes in the file
      {0x500, 4, false, 0},                 // the headers: in no section
      {0xfffff800, 0x800, true, 0x300800},  // up to the end of the address space
      {0xfffff800, 0x900, false, 0},        // one past it must not wrap round
  };
  for (const Case& c : cases) {
    std::uint32_t offset = 0;
    EXPECT_EQ(FileOffsetOfImageRange(table.data(), 4, c.rva, c.size, &offset), c.found)
        << std::hex << c.rva << "+" << c.size;
    if (c.found) EXPECT_EQ(offset, c.offset) << std::hex << c.rva;
  }
}

}  // namespace

}  // namespace vespodar
