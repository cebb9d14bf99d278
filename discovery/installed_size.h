#ifndef VESPODAR_DISCOVERY_INSTALLED_SIZE_H_
#define VESPODAR_DISCOVERY_INSTALLED_SIZE_H_

#include <cstdint>

// The largest size the registry's EstimatedSize can carry as a signed number.
constexpr std::int32_t kMaxSizeKb = 0x7FFFFFFF;

// A byte total as whole KiB (rounded down), capped at kMaxSizeKb. The total is
// kept in 64 bits, so a product of 4 GiB or more is not counted modulo 4 GiB.
std::int32_t KibFromBytes(std::uint64_t bytes);

// Whether an entry of the walk is a directory to descend into: a real
// directory, not "." or "..", and not a link (junction or symbolic link to a
// directory), which could lead back into the tree and make the walk endless.
bool IsDirectoryToWalk(std::uint32_t attributes, const wchar_t* name);

#endif  // VESPODAR_DISCOVERY_INSTALLED_SIZE_H_
