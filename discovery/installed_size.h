#ifndef VESPODAR_DISCOVERY_INSTALLED_SIZE_H_
#define VESPODAR_DISCOVERY_INSTALLED_SIZE_H_

#include <cstddef>
#include <cstdint>
#include <vector>

// The largest size the registry's EstimatedSize can carry as a signed number.
constexpr std::int32_t kMaxSizeKb = 0x7FFFFFFF;

// A byte total as whole KiB (rounded down), capped at kMaxSizeKb. The total is
// kept in 64 bits, so a product of 4 GiB or more is not counted modulo 4 GiB.
std::int32_t KibFromBytes(std::uint64_t bytes);

// Whether an entry of the walk is a directory to descend into: a real
// directory, not "." or "..", and not a link (junction or symbolic link to a
// directory), which could lead back into the tree and make the walk endless.
bool IsDirectoryToWalk(std::uint32_t attributes, const wchar_t* name);

// The directories a walk has entered, by volume serial number and file index.
// A link that the system does not mark as one (a bind mount under Wine, a
// mounted folder on a file system that hides it) leads into a directory the
// walk has already seen; entering it a second time would count its files
// twice and, for a link back to a parent, go round until the path grows too
// long. The identity is what the system says of the directory itself, so it
// holds however the directory was reached. The walk asks only directories
// that hold directories: a leaf cannot lead it round.
//
// A hash table with open addressing: the setup needs nothing more, and a
// balanced tree would bring its own code into the executable.
class VisitedDirectories {
 public:
  // True the first time this identity is offered, false every time after.
  bool FirstVisit(std::uint32_t volumeSerial, std::uint64_t fileIndex);

 private:
  struct Slot {
    std::uint64_t fileIndex;
    std::uint32_t volumeSerial;
    bool used;
  };
  std::vector<Slot> slots_;  // a power of two in size, at most half used
  std::size_t count_ = 0;
};

#endif  // VESPODAR_DISCOVERY_INSTALLED_SIZE_H_
