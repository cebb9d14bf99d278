#ifndef VESPODAR_INSTALL_BASE_ALIGNMENT_H_
#define VESPODAR_INSTALL_BASE_ALIGNMENT_H_

// A delta carried as differences from its base (bsdiff's way of telling two
// builds of a program apart): when code moves, every address in it changes
// by a little, so that a patch of matches against the base finds little to
// copy (a third of the compressed file for the benchmark's library), while
// the byte-wise differences from the base's lined-up bytes are mostly zeros
// and compress to a ninth of it.
//
// The first frame decodes to the new file's length: in each stretch that
// lines up with the base, the new bytes less the base's (byte by byte,
// modulo 256), and in each stretch that does not, the new bytes themselves.
// The alignment follows as records of 24 bytes, each three little-endian
// numbers:
//
//   0  the length of a stretch of differences (8)
//   8  the length of the new bytes after it (8)
//  16  how far the base's position then moves (8, signed)
//
// The base's position starts at 0 and goes on by each stretch of
// differences, then by the move. tools/encode_package.py writes both frames.

#include <cstddef>
#include <cstdint>

#include "base/sha256.h"

namespace vespodar {

constexpr std::size_t kAlignmentRecordSize = 24;

// TO[i] += FROM[i] for COUNT bytes, each modulo 256.
void AddBytes(std::uint8_t* to, const std::uint8_t* from, std::size_t count);

// Adds the base's lined-up bytes into VIEW (the decoded differences, the
// whole file) record by record, and hashes each stretch once it is final.
class BaseAlignment {
 public:
  BaseAlignment(std::uint8_t* view, std::size_t size, const std::uint8_t* base,
                std::size_t baseSize, Sha256State* hash)
      : view_(view), size_(size), base_(base), baseSize_(baseSize), hash_(hash) {}
  // The next COUNT bytes of the records, in pieces of any size; false once a
  // record reaches outside the file or the base.
  bool Take(const std::uint8_t* bytes, std::size_t count);
  // Whether the records have covered the file exactly, with none left half.
  bool Ended() const { return carried_ == 0 && at_ == size_; }

 private:
  bool Apply(const std::uint8_t* record);

  std::uint8_t* view_;
  std::size_t size_;
  const std::uint8_t* base_;
  std::size_t baseSize_;
  Sha256State* hash_;
  std::size_t at_ = 0;
  std::int64_t basePosition_ = 0;
  std::uint8_t record_[kAlignmentRecordSize] = {};
  std::size_t carried_ = 0;
};

}  // namespace vespodar

#endif  // VESPODAR_INSTALL_BASE_ALIGNMENT_H_
