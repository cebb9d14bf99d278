#ifndef VESPODAR_INSTALL_PACKAGE_SOURCE_H_
#define VESPODAR_INSTALL_PACKAGE_SOURCE_H_

// Where the package's bytes lie in the setup's own file. The write takes them
// from the file, a piece at a time, not from the loaded image: touching the
// image would bring the whole package into the process's memory, and where
// the loader reads an image instead of mapping it (Wine, for sections that
// are not page-aligned in the file) it would be there twice.

#include <cstddef>
#include <cstdint>

namespace vespodar {

// The file offset of the image's bytes [rva, rva + size), from the image's
// section table (SECTION_COUNT headers of 40 bytes at SECTION_TABLE, as in
// the file and in the loaded image). False unless the raw data of one section
// holds the whole range: a range that reaches into a section's zero fill, or
// lies in no section, has no bytes in the file.
bool FileOffsetOfImageRange(const std::uint8_t* sectionTable, std::size_t sectionCount,
                            std::uint32_t rva, std::uint32_t size, std::uint32_t* offset);

}  // namespace vespodar

#endif  // VESPODAR_INSTALL_PACKAGE_SOURCE_H_
