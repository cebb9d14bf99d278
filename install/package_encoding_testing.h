// Packages as the build writes them, made in memory for the decoder's tests
// and for the inputs its fuzz target starts from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/sha256.h"
#include "install/package_encoding.h"

namespace vespodar::test_packages {

using Bytes = std::vector<std::uint8_t>;

Digest DigestOf(const Bytes& bytes);

// Content with runs and repeats, as a content file has, and no short period.
Bytes Content(std::size_t size, std::uint32_t seed);

void Put64(std::uint8_t* p, std::uint64_t value);

// The header of a package that decodes to DECODED (a delta's, over BASE).
Bytes Header(PackageKind kind, const Bytes& decoded, const Bytes* base);

// One zstd frame of INPUT, at a fast level.
Bytes Frame(const Bytes& input);

// The package as the build makes it: header, then one frame (a delta's
// against BASE; WINDOW_LOG, when not 0, the frame's window; X86, the branch
// filter applied first).
Bytes Encode(const Bytes& decoded, const Bytes* base = nullptr, int windowLog = 0,
             bool x86 = false);

// A delta of differences as the build writes one for FILE against BASE, the
// two the same length: every byte lined up with the base's at the same
// place but the last 100, which are new; the alignment in one record
// (left out when not ALIGNED).
Bytes EncodeDifferences(const Bytes& file, const Bytes& base, bool aligned = true);

// The installed file that the fuzz target decodes a delta over, and that the
// deltas it starts from were made against.
Bytes FuzzBase();

// Decodes PACKAGE (any bytes) as the setup would, a delta over FuzzBase():
// into a view of the whole file where the frame's window may span it, else
// in pieces; read in two pieces, split where the first byte says. True when
// it came out as the stamped file.
bool DecodesOverFuzzBase(const std::uint8_t* package, std::size_t size);

}  // namespace vespodar::test_packages
