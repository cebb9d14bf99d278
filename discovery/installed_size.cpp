#include "discovery/installed_size.h"

namespace vespodar {

namespace {

const std::uint32_t kDirectoryAttribute = 0x10;     // FILE_ATTRIBUTE_DIRECTORY
const std::uint32_t kReparsePointAttribute = 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT

// File indexes often differ in a few low bits only: mix every bit into the
// slot number.
std::size_t Mix(std::uint64_t fileIndex) {
  std::uint64_t x = fileIndex;
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

std::size_t& VisitedDirectories::Slot(std::uint64_t fileIndex) {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t at = Mix(fileIndex) & mask;; at = (at + 1) & mask) {
    std::size_t& slot = slots_[at];
    if (slot == kNone || entries_[slot].fileIndex == fileIndex) return slot;
  }
}

bool VisitedDirectories::FirstVisit(std::uint64_t fileIndex, const std::wstring& path,
                                    VolumeOf volumeOf) {
  if (2 * (distinct_ + 1) > slots_.size()) {
    slots_.assign(slots_.empty() ? 32 : 2 * slots_.size(), kNone);
    // Each index's latest entry heads its chain; earlier ones hang off it.
    for (std::size_t number = 0; number < entries_.size(); ++number) {
      std::size_t& slot = Slot(entries_[number].fileIndex);
      if (slot == kNone || slot < number) slot = number;
    }
  }
  std::size_t& slot = Slot(fileIndex);
  Entry entry{fileIndex, path, slot, false, std::nullopt};
  if (slot == kNone) {
    ++distinct_;
  } else {
    entry.volumeAsked = true;
    entry.volume = volumeOf(path);
    if (entry.volume) {
      for (std::size_t earlier = slot; earlier != kNone; earlier = entries_[earlier].next) {
        Entry& seen = entries_[earlier];
        if (!seen.volumeAsked) {
          seen.volumeAsked = true;
          seen.volume = volumeOf(seen.path);
        }
        if (seen.volume == entry.volume) return false;
      }
    }
  }
  slot = entries_.size();
  entries_.push_back(std::move(entry));
  return true;
}

}  // namespace vespodar
