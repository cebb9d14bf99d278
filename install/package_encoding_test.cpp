#include "install/package_encoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "base/little_endian.h"
#include "install/package_encoding_testing.h"

namespace vespodar {

namespace {

using test_packages::Bytes;
using test_packages::Content;
using test_packages::DigestOf;
using test_packages::Encode;
using test_packages::EncodeDifferences;
using test_packages::Header;
using test_packages::Put64;

// Hands the bytes on in pieces of PIECE bytes.
class PiecesSource : public PackageSource {
 public:
  PiecesSource(const Bytes& bytes, std::size_t piece) : bytes_(bytes), piece_(piece) {}
  bool ForEachPiece(const TakeBytes& take, std::uint32_t*) override {
    for (std::size_t at = 0; at < bytes_.size(); at += piece_)
      if (!take(bytes_.data() + at, std::min(piece_, bytes_.size() - at))) return false;
    return true;
  }

 private:
  const Bytes& bytes_;
  std::size_t piece_;
};

class MemoryBase : public PackageBase {
 public:
  explicit MemoryBase(Bytes bytes) : bytes_(std::move(bytes)) {}
  const std::uint8_t* data() override { return bytes_.data(); }
  std::size_t size() override { return bytes_.size(); }
  void Release() override { ++releases; }
  int releases = 0;

 private:
  Bytes bytes_;
};

// Decodes PACKAGE as the write would, handed on in pieces or, INTO_VIEW,
// into one buffer of the decoded size; the bytes, or false.
bool Decode(const Bytes& package, Bytes* decoded, std::uint32_t* error,
            const Bytes* base = nullptr, std::size_t piece = 65536, bool intoView = false) {
  PackageHeader header;
  if (!ParsePackageHeader(package.data(), &header)) return false;
  MemoryBase memory(base ? *base : Bytes());
  PiecesSource source(package, piece);
  DecodedPackage decoding(source, header, base ? &memory : nullptr);
  decoded->clear();
  bool done = false;
  if (intoView) {
    Bytes view(header.decodedSize);
    std::size_t seen = 0;
    done = decoding.DecodeInto(
        view.data(), view.size(),
        [&](const std::uint8_t* data, std::size_t count) {
          EXPECT_EQ(view.data() + seen, data) << "each stretch follows the last";
          seen += count;
          return true;
        },
        error);
    if (done) EXPECT_EQ(view.size(), seen);
    *decoded = view;
  } else {
    done = decoding.ForEachPiece(
        [decoded](const std::uint8_t* data, std::size_t count) {
          decoded->insert(decoded->end(), data, data + count);
          return true;
        },
        error);
  }
  if (base) EXPECT_EQ(1, memory.releases) << "the base is let go of once";
  return done;
}

TEST(PackageEncodingTest, HeaderNamesItsKindAndABaseOnlyForADelta) {
  const Bytes file = Content(1000, 1);
  const Bytes compressed = Header(PackageKind::kCompressed, file, nullptr);
  const Bytes delta = Header(PackageKind::kDelta, file, &file);
  Bytes magic = compressed, kind = compressed, filtered = compressed, filter = compressed,
        filteredDelta = delta;
  magic[0] = 'v';
  WriteLe32(&kind[8], 3);
  WriteLe32(&filtered[12], 1);
  WriteLe32(&filter[12], 4);
  WriteLe32(&filteredDelta[12], 1);
  Bytes differences = delta, compressedDifferences = compressed, moved = delta,
        compressedMoved = compressed;
  WriteLe32(&differences[12], 2);
  WriteLe32(&compressedDifferences[12], 2);
  WriteLe32(&moved[12], 3);
  WriteLe32(&compressedMoved[12], 3);
  Bytes compressedWithBase = delta;
  WriteLe32(&compressedWithBase[8], 1);
  Bytes deltaWithoutBase = compressed;
  WriteLe32(&deltaWithoutBase[8], 2);
  const struct {
    const char* name;
    const Bytes& header;
    bool parsed;
  } cases[] = {
      {"compressed", compressed, true},       {"delta", delta, true},
      {"magic", magic, false},                {"unknown kind", kind, false},
      {"x86 branches", filtered, true},       {"unknown filter", filter, false},
      {"a delta filtered", filteredDelta, false},
      {"differences", differences, true},
      {"compressed differences", compressedDifferences, false},
      {"differences, branches moved", moved, true},
      {"compressed, branches moved", compressedMoved, false},
      {"compressed naming a base", compressedWithBase, false},
      {"delta without a base", deltaWithoutBase, false},
  };
  for (const auto& c : cases) {
    PackageHeader header;
    EXPECT_EQ(c.parsed, ParsePackageHeader(c.header.data(), &header)) << c.name;
  }
  PackageHeader header;
  ASSERT_TRUE(ParsePackageHeader(delta.data(), &header));
  EXPECT_EQ(1000u, header.decodedSize);
  EXPECT_EQ(1000u, header.baseSize);
  EXPECT_EQ(DigestOf(file), header.baseSha256);
}

TEST(PackageEncodingTest, DecodesInAnyPiecesToTheStampedBytes) {
  const Bytes file = Content(3 << 20, 2);  // several of the decoder's output pieces
  const Bytes package = Encode(file);
  for (const std::size_t piece : {std::size_t(1) << 20, std::size_t(4096), std::size_t(97)}) {
    Bytes decoded;
    std::uint32_t error = 0;
    EXPECT_TRUE(Decode(package, &decoded, &error, nullptr, piece)) << piece;
    EXPECT_TRUE(decoded == file) << piece;
  }
}

// A package filtered for x86 code comes out as the file, in pieces of any
// size (the filter's units cross them) and into a view; one whose filter the
// header leaves out decodes to other bytes, which the digest refuses.
TEST(PackageEncodingTest, FilteredPackageIsRestoredToTheStampedBytes) {
  Bytes file = Content((3 << 20) + 3, 8);  // several stretches of the restore, and an odd end
  for (std::size_t i = 100; i + 5 < file.size(); i += 37) file[i] = 0xE8, file[i + 4] = 0;
  const Bytes package = Encode(file, nullptr, 0, true);
  Bytes unfiltered = package;
  WriteLe32(&unfiltered[12], 0);
  const struct {
    const Bytes& package;
    std::size_t piece;
    bool intoView, decodes;
  } cases[] = {{package, 65536, false, true}, {package, 97, false, true},
               {package, 65536, true, true},  {unfiltered, 65536, false, false},
               {unfiltered, 65536, true, false}};
  for (const auto& c : cases) {
    Bytes decoded;
    std::uint32_t error = 0;
    EXPECT_EQ(c.decodes, Decode(c.package, &decoded, &error, nullptr, c.piece, c.intoView))
        << c.piece << " " << c.intoView;
    if (c.decodes) EXPECT_TRUE(decoded == file) << c.piece << " " << c.intoView;
    else EXPECT_EQ(kErrorInvalidData, error);
  }
}

// A frame whose window reaches back further than 8 MiB decodes only into a
// view of the whole file (which then serves as the window); streamed, the
// decoder would have to hold that window itself, and refuses it.
TEST(PackageEncodingTest, WindowBeyondEightMibOnlyIntoAView) {
  Bytes file = Content(12 << 20, 6);
  std::copy(file.begin(), file.begin() + (3 << 20), file.begin() + (9 << 20));  // 9 MiB back
  const struct {
    int windowLog;
    bool streamed;
  } cases[] = {{23, true}, {24, false}};
  for (const auto& c : cases) {
    const Bytes package = Encode(file, nullptr, c.windowLog);
    for (const bool intoView : {false, true}) {
      Bytes decoded;
      std::uint32_t error = 0;
      const bool done = Decode(package, &decoded, &error, nullptr, 65536, intoView);
      EXPECT_EQ(intoView || c.streamed, done) << c.windowLog << " " << intoView;
      if (done) EXPECT_TRUE(decoded == file) << c.windowLog << " " << intoView;
      else EXPECT_EQ(kErrorInvalidData, error) << c.windowLog;
    }
  }
}

// Whatever is wrong with the bytes, the write gets a failure (the staging
// file then goes), never a crash nor a file that is not the stamped one.
TEST(PackageEncodingTest, DamagedOrWrongPackageIsAFailure) {
  const Bytes file = Content(300000, 3);
  const Bytes package = Encode(file);
  Bytes flipped = package, truncated = package, trailing = package, wrongDigest = package,
        longer = package, shorter = package;
  flipped[kPackageHeaderSize + (package.size() - kPackageHeaderSize) / 2] ^= 0x10;
  truncated.resize(package.size() - 5);
  trailing.push_back(0);
  wrongDigest[30] ^= 1;
  Put64(&longer[16], file.size() + 1);
  Put64(&shorter[16], file.size() - 1);
  const Bytes headerOnly(package.begin(), package.begin() + kPackageHeaderSize);
  const struct {
    const char* name;
    const Bytes& package;
  } cases[] = {{"a byte of the frame changed", flipped}, {"truncated", truncated},
               {"bytes after the frame", trailing},      {"another digest", wrongDigest},
               {"a larger size", longer},                {"a smaller size", shorter},
               {"no frame", headerOnly}};
  for (const auto& c : cases) {
    for (const bool intoView : {false, true}) {
      Bytes decoded;
      std::uint32_t error = 0;
      EXPECT_FALSE(Decode(c.package, &decoded, &error, nullptr, 65536, intoView))
          << c.name << (intoView ? " (into a view)" : "");
      EXPECT_EQ(kErrorInvalidData, error) << c.name;
    }
  }
}

TEST(PackageEncodingTest, DeltaRebuildsTheFileFromItsBaseOnly) {
  const Bytes old = Content(2 << 20, 4);
  Bytes file = old;
  for (std::size_t i = 1000; i < file.size(); i += 70000) file[i] ^= 0x5A;  // a few changes
  file.insert(file.begin() + 5000, 300, 0x42);
  const Bytes delta = Encode(file, &old);
  EXPECT_LT(delta.size(), file.size() / 20) << "a delta ships the change, not the file";

  // Into a view of the whole file, as the setup decodes a delta, the same.
  for (const bool intoView : {false, true}) {
    Bytes decoded;
    std::uint32_t error = 0;
    EXPECT_TRUE(Decode(delta, &decoded, &error, &old, 65536, intoView)) << intoView;
    EXPECT_TRUE(decoded == file) << intoView;
    // Against any other file it cannot come out right.
    Bytes other = old;
    other[123456] ^= 1;
    EXPECT_FALSE(Decode(delta, &decoded, &error, &other, 65536, intoView)) << intoView;
    EXPECT_EQ(kErrorInvalidData, error);
  }
}

// Differences rebuild the file only into a view and only over their own
// base; an alignment that is missing, cut short or followed by more bytes is
// a damaged package.
TEST(PackageEncodingTest, DifferencesRebuildTheFileOverTheirBase) {
  const Bytes old = Content(1 << 20, 9);
  Bytes file = old;
  for (std::size_t i = 0; i < file.size(); i += 4096) file[i] += 3;  // addresses moved
  const Bytes package = EncodeDifferences(file, old);
  Bytes other = old, trailing = package, truncated = package;
  other[5000] ^= 1;
  trailing.push_back(0);
  truncated.resize(package.size() - 3);
  const Bytes unaligned = EncodeDifferences(file, old, false);
  const struct {
    const char* name;
    const Bytes& package;
    const Bytes& base;
    bool intoView, decodes;
  } cases[] = {
      {"into a view", package, old, true, true},
      {"in pieces", package, old, false, false},
      {"over another base", package, other, true, false},
      {"bytes after the alignment", trailing, old, true, false},
      {"the alignment cut short", truncated, old, true, false},
      {"no alignment", unaligned, old, true, false},
  };
  for (const auto& c : cases) {
    for (const std::size_t piece : {std::size_t(65536), std::size_t(11)}) {
      Bytes decoded;
      std::uint32_t error = 0;
      EXPECT_EQ(c.decodes, Decode(c.package, &decoded, &error, &c.base, piece, c.intoView))
          << c.name << " " << piece;
      if (c.decodes) EXPECT_TRUE(decoded == file) << c.name;
      else EXPECT_EQ(kErrorInvalidData, error) << c.name;
    }
  }
}

TEST(PackageEncodingTest, RefusedWriteKeepsItsOwnError) {
  const Bytes file = Content(100000, 5);
  const Bytes package = Encode(file);
  PackageHeader header;
  ASSERT_TRUE(ParsePackageHeader(package.data(), &header));
  PiecesSource source(package, 4096);
  DecodedPackage decoding(source, header, nullptr);
  std::uint32_t error = 0;
  EXPECT_FALSE(decoding.ForEachPiece(
      [&error](const std::uint8_t*, std::size_t) {
        error = 112;  // ERROR_DISK_FULL, as the write reports it
        return false;
      },
      &error));
  EXPECT_EQ(112u, error);
}

}  // namespace

}  // namespace vespodar
