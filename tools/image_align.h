#ifndef VESPODAR_TOOLS_IMAGE_ALIGN_H_
#define VESPODAR_TOOLS_IMAGE_ALIGN_H_

// Puts the section that holds the package on a page boundary of the file.
//
// A loader may map a section of an image straight from the file only where
// the section's bytes begin on a page boundary in the file; Wine reads every
// other section whole into fresh memory at the start. For a package of
// hundreds of megabytes that is as much memory and a read of it all before
// the setup's first line. The linker aligns sections in the file to 512
// bytes only; this moves one section's bytes, and those after it, up to the
// next page boundary, which costs at most a page less one sector.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vespodar {

constexpr std::size_t kImagePageBytes = 4096;
// Packages from this size on get an aligned section: below it, the read
// costs the loader a few milliseconds, and the padding would be a larger
// share of a small download.
constexpr std::size_t kAlignPackagesFrom = 4 * 1024 * 1024;

// Moves the raw data of the section that holds file offset AT to the next
// page boundary of the file, and every section after it by as much. *MOVED
// is how many bytes were inserted (0 when the section was aligned already).
// False with a reason when the image is no PE image, AT lies in no section's
// bytes, or the image is signed (align before signing, as before stamping).
bool AlignSectionInFile(std::vector<std::uint8_t>* image, std::size_t at, std::size_t* moved,
                        std::string* error);

}  // namespace vespodar

#endif  // VESPODAR_TOOLS_IMAGE_ALIGN_H_
