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
//
// With moved branches the differences are taken not from the base's bytes
// as they stand but from what a call or jump of the base would read once
// its target had moved as the alignment moves it: most of what differs
// between two builds of a program is the operands of calls into code that
// moved by another distance than the call itself, and of x86-64's
// references to data relative to the instruction. In a lined-up stretch of
// the base, every E8 or E9 byte is taken as a call or jump whose 32-bit
// displacement follows it, and every opcode of a short list followed by a
// ModRM byte that names a displacement from the next instruction (mod 00,
// r/m 101) as such a reference, where the whole instruction lies in the
// stretch. Where its target lies in a lined-up stretch (the last one, in the
// order of their base positions and then their file positions, that starts
// at or before it), and the displacement to where that stretch puts it fits
// 32 bits, the new displacement less the old is added in, byte by byte.
// Guesses that are no instruction cost a few bytes of differences, never a
// wrong file: the encoder makes the same guesses.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/sha256.h"

namespace vespodar {

constexpr std::size_t kAlignmentRecordSize = 24;

// Moved branches hold the alignment until it has ended: at most this many
// stretches (11 MiB with their index), as tools/encode_package.py keeps to.
constexpr std::size_t kMostMovedStretches = std::size_t{1} << 18;

// TO[i] += FROM[i] for COUNT bytes, each modulo 256.
void AddBytes(std::uint8_t* to, const std::uint8_t* from, std::size_t count);

// Adds the base's lined-up bytes into VIEW (the decoded differences, the
// whole file) record by record, and hashes each stretch once it is final:
// as the records come, or, with MOVE_BRANCHES, all at Finish().
class BaseAlignment {
 public:
  BaseAlignment(std::uint8_t* view, std::size_t size, const std::uint8_t* base,
                std::size_t baseSize, Sha256State* hash, bool moveBranches = false)
      : view_(view), size_(size), base_(base), baseSize_(baseSize), hash_(hash),
        moveBranches_(moveBranches) {}
  // The next COUNT bytes of the records, in pieces of any size; false once a
  // record reaches outside the file or the base.
  bool Take(const std::uint8_t* bytes, std::size_t count);
  // Once the records have ended: applies those held back; false where there
  // were more than kMostMovedStretches.
  bool Finish();
  // Whether the records have covered the file exactly, with none left half.
  bool Ended() const { return carried_ == 0 && at_ == size_ && !held_; }

 private:
  struct Stretch {
    std::uint64_t base, at, differences, fresh;
  };
  bool Apply(const std::uint8_t* record);
  void Write(const Stretch& stretch);
  void MoveBranches(const Stretch& stretch);

  std::uint8_t* view_;
  std::size_t size_;
  const std::uint8_t* base_;
  std::size_t baseSize_;
  Sha256State* hash_;
  std::size_t at_ = 0;
  std::int64_t basePosition_ = 0;
  std::uint8_t record_[kAlignmentRecordSize] = {};
  std::size_t carried_ = 0;
  bool moveBranches_;
  bool held_ = false;  // stretches wait in stretches_ for Finish()
  bool tooMany_ = false;
  std::vector<Stretch> stretches_;
  std::vector<std::uint32_t> byBase_;  // the lined-up ones, by base position
  std::vector<std::uint64_t> bases_;   // their base positions, in that order
};

}  // namespace vespodar

#endif  // VESPODAR_INSTALL_BASE_ALIGNMENT_H_
