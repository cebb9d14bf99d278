#include "install/package_source.h"

#include "base/little_endian.h"

namespace vespodar {

bool FileOffsetOfImageRange(const std::uint8_t* sectionTable, std::size_t sectionCount,
                            std::uint32_t rva, std::uint32_t size, std::uint32_t* offset) {
  for (std::size_t i = 0; i < sectionCount; ++i) {
    const std::uint8_t* header = sectionTable + 40 * i;
    const std::uint32_t address = ReadLe32(header + 12);
    const std::uint32_t rawSize = ReadLe32(header + 16);
    const std::uint32_t rawOffset = ReadLe32(header + 20);
    // 64-bit sums: a range or a section near 4 GiB must not wrap round.
    if (rva < address || std::uint64_t{rva} + size > std::uint64_t{address} + rawSize) continue;
    if (rawOffset == 0) return false;  // a section with no bytes in the file
    *offset = rawOffset + (rva - address);
    return true;
  }
  return false;
}

}  // namespace vespodar
