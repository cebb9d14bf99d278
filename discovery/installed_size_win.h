#ifndef VESPODAR_DISCOVERY_INSTALLED_SIZE_WIN_H_
#define VESPODAR_DISCOVERY_INSTALLED_SIZE_WIN_H_

#include <cstdint>
#include <string>

namespace vespodar {

// The size of every file in the tree under path, in KiB, or -1 when path is
// empty or no existing directory. Directory links are counted as entries but
// not followed, and a loop of directories that the system does not mark as
// links (a bind mount under Wine) is walked round once only: no directory
// that holds directories is counted twice, however it is reached. A
// subdirectory that cannot be listed contributes nothing.
std::int32_t DirectorySizeKb(const std::string& path);

}  // namespace vespodar

#endif  // VESPODAR_DISCOVERY_INSTALLED_SIZE_WIN_H_
