#ifndef VESPODAR_DISCOVERY_INSTALLED_SIZE_H_
#define VESPODAR_DISCOVERY_INSTALLED_SIZE_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vespodar {

// The largest size the registry's EstimatedSize can carry as a signed number.
constexpr std::int32_t kMaxSizeKb = 0x7FFFFFFF;

// A byte total as whole KiB (rounded down), capped at kMaxSizeKb. The total is
// kept in 64 bits, so a product of 4 GiB or more is not counted modulo 4 GiB.
std::int32_t KibFromBytes(std::uint64_t bytes);

// Whether an entry of the walk is a directory to descend into: a real
// directory, not "." or "..", and not a link (junction or symbolic link to a
// directory), which could lead back into the tree and make the walk endless.
bool IsDirectoryToWalk(std::uint32_t attributes, const wchar_t* name);

// The directories a walk has entered, by file index and volume serial number.
// A link that the system does not mark as one (a bind mount under Wine, a
// mounted folder on a file system that hides it) leads into a directory the
// walk has already seen; entering it a second time would count its files
// twice and, for a link back to a parent, go round until the path grows too
// long. The identity is what the system says of the directory itself, so it
// holds however the directory was reached. The walk asks only directories
// that hold directories: a leaf cannot lead it round.
//
// The volume is asked for only when a file index comes again: Wine answers
// that question through its mount manager, half a millisecond each time,
// while the file index costs next to nothing. Two directories on different
// volumes may share an index; they are told apart then.
class VisitedDirectories {
 public:
  // The volume serial number of the directory at path; nullopt when it
  // cannot be read. A plain function: the walk has one, and the tests a
  // stand-in each.
  using VolumeOf = std::optional<std::uint32_t> (*)(const std::wstring& path);

  // True the first time the directory is offered, false every time after. A
  // directory whose volume cannot be read when it is needed counts as new:
  // walking a directory twice is better than leaving one out.
  bool FirstVisit(std::uint64_t fileIndex, const std::wstring& path, VolumeOf volumeOf);

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  struct Entry {
    std::uint64_t fileIndex;
    std::wstring path;
    std::size_t next;  // the previous entry with the same index, or kNone
    bool volumeAsked;
    std::optional<std::uint32_t> volume;
  };
  // The latest entry of this index, or kNone; inserts nothing.
  std::size_t& Slot(std::uint64_t fileIndex);

  std::vector<Entry> entries_;
  std::vector<std::size_t> slots_;  // entry numbers by index hash; a power of two in size, at most half used
  std::size_t distinct_ = 0;
};

}  // namespace vespodar

#endif  // VESPODAR_DISCOVERY_INSTALLED_SIZE_H_
