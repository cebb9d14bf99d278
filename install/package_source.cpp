#include "install/package_source.h"

namespace vespodar {

namespace {

std::uint32_t Read32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

bool FileOffsetOfImageRange(const std::uint8_t* sectionTable, std::size_t sectionCount,
                            std::uint32_t rva, std::uint32_t size, std::uint32_t* offset) {
  for (std::size_t i = 0; i < sectionCount; ++i) {
    const std::uint8_t* header = sectionTable + 40 * i;
    const std::uint32_t address = Read32(header + 12);
    const std::uint32_t rawSize = Read32(header + 16);
    const std::uint32_t rawOffset = Read32(header + 20);
    // 64-bit sums: a range or a section near 4 GiB must not wrap round.
    if (rva < address || std::uint64_t{rva} + size > std::uint64_t{address} + rawSize) continue;
    if (rawOffset == 0) return false;  // a section with no bytes in the file
    *offset = rawOffset + (rva - address);
    return true;
  }
  return false;
}

}  // namespace vespodar
