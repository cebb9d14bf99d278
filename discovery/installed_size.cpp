#include "discovery/installed_size.h"

namespace {

const std::uint32_t kDirectoryAttribute = 0x10;     // FILE_ATTRIBUTE_DIRECTORY
const std::uint32_t kReparsePointAttribute = 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT

// File indexes of one volume often differ in a few low bits only: mix every
// bit into the slot number.
std::size_t Mix(std::uint32_t volumeSerial, std::uint64_t fileIndex) {
  std::uint64_t x = fileIndex ^ (static_cast<std::uint64_t>(volumeSerial) << 32 | volumeSerial);
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdULL;
  x ^= x >> 33;
  return static_cast<std::size_t>(x);
}

}  // namespace

std::int32_t KibFromBytes(std::uint64_t bytes) {
  const std::uint64_t kib = bytes >> 10;
  return kib > static_cast<std::uint64_t>(kMaxSizeKb) ? kMaxSizeKb : static_cast<std::int32_t>(kib);
}

bool IsDirectoryToWalk(std::uint32_t attributes, const wchar_t* name) {
  if (!(attributes & kDirectoryAttribute) || (attributes & kReparsePointAttribute)) return false;
  if (name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'))) return false;
  return true;
}

bool VisitedDirectories::FirstVisit(std::uint32_t volumeSerial, std::uint64_t fileIndex) {
  if (2 * (count_ + 1) > slots_.size()) {
    std::vector<Slot> old(slots_.empty() ? 32 : 2 * slots_.size(), Slot{0, 0, false});
    old.swap(slots_);
    count_ = 0;
    for (const Slot& slot : old)
      if (slot.used) FirstVisit(slot.volumeSerial, slot.fileIndex);
  }
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t at = Mix(volumeSerial, fileIndex) & mask;; at = (at + 1) & mask) {
    Slot& slot = slots_[at];
    if (!slot.used) {
      slot = Slot{fileIndex, volumeSerial, true};
      ++count_;
      return true;
    }
    if (slot.fileIndex == fileIndex && slot.volumeSerial == volumeSerial) return false;
  }
}
