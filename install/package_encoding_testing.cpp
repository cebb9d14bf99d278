#include "install/package_encoding_testing.h"

#include <zstd.h>

#include <cstdlib>
#include <cstring>

#include "base/little_endian.h"
#include "install/base_alignment.h"
#include "install/x86_branches.h"

namespace vespodar::test_packages {

namespace {

// A frame the compressor could not make is a fault of the test itself.
Bytes Compressed(ZSTD_CCtx* context, const Bytes& input) {
  Bytes frame(ZSTD_compressBound(input.size()));
  const std::size_t size =
      ZSTD_compress2(context, frame.data(), frame.size(), input.data(), input.size());
  ZSTD_freeCCtx(context);
  if (ZSTD_isError(size)) std::abort();
  frame.resize(size);
  return frame;
}

}  // namespace

Digest DigestOf(const Bytes& bytes) {
  Sha256State state;
  Sha256Init(&state);
  Sha256Update(&state, bytes.data(), bytes.size());
  return Sha256Final(&state);
}

Bytes Content(std::size_t size, std::uint32_t seed) {
  Bytes bytes(size);
  std::uint32_t x = seed;
  for (std::size_t i = 0; i < size; ++i) {
    x = x * 1103515245 + 12345;
    bytes[i] = (i / 512) % 3 == 0 ? static_cast<std::uint8_t>(i) : static_cast<std::uint8_t>(x >> 24);
  }
  return bytes;
}

void Put64(std::uint8_t* p, std::uint64_t value) {
  WriteLe32(p, static_cast<std::uint32_t>(value));
  WriteLe32(p + 4, static_cast<std::uint32_t>(value >> 32));
}

Bytes Header(PackageKind kind, const Bytes& decoded, const Bytes* base) {
  Bytes header(kPackageHeaderSize, 0);
  std::memcpy(header.data(), "VdPkZstd", 8);
  WriteLe32(&header[8], static_cast<std::uint32_t>(kind));
  Put64(&header[16], decoded.size());
  const Digest digest = DigestOf(decoded);
  std::memcpy(&header[24], digest.data(), 32);
  if (base) {
    Put64(&header[56], base->size());
    const Digest baseDigest = DigestOf(*base);
    std::memcpy(&header[64], baseDigest.data(), 32);
  }
  return header;
}

Bytes Frame(const Bytes& input) {
  ZSTD_CCtx* context = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, 3);
  return Compressed(context, input);
}

Bytes Encode(const Bytes& decoded, const Bytes* base, int windowLog, bool x86) {
  Bytes input = decoded;
  if (x86) FilterX86Branches(input.data(), input.size(), 0);
  ZSTD_CCtx* context = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, 3);
  if (base) windowLog = 24;
  if (windowLog) ZSTD_CCtx_setParameter(context, ZSTD_c_windowLog, windowLog);
  if (base) ZSTD_CCtx_refPrefix(context, base->data(), base->size());
  const Bytes frame = Compressed(context, input);
  Bytes package = Header(base ? PackageKind::kDelta : PackageKind::kCompressed, decoded, base);
  if (x86) WriteLe32(&package[12], static_cast<std::uint32_t>(PackageFilter::kX86Branches));
  package.insert(package.end(), frame.begin(), frame.end());
  return package;
}

Bytes EncodeDifferences(const Bytes& file, const Bytes& base, bool aligned) {
  Bytes differences = file;
  const std::size_t linedUp = file.size() - 100;
  for (std::size_t i = 0; i < linedUp; ++i)
    differences[i] = static_cast<std::uint8_t>(file[i] - base[i]);
  Bytes record(kAlignmentRecordSize, 0);
  Put64(&record[0], linedUp);
  Put64(&record[8], 100);
  Bytes package = Header(PackageKind::kDelta, file, &base);
  WriteLe32(&package[12], static_cast<std::uint32_t>(PackageFilter::kBaseDifferences));
  for (const Bytes& frame : {Frame(differences), aligned ? Frame(record) : Bytes()})
    package.insert(package.end(), frame.begin(), frame.end());
  return package;
}

Bytes FuzzBase() { return Content(1024, 7); }

namespace {

class BytesSource : public PackageSource {
 public:
  BytesSource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool ForEachPiece(const TakeBytes& take, std::uint32_t*) override {
    // Two pieces, as the own file's reads may split.
    const std::size_t split = size_ ? data_[0] % (size_ + 1) : 0;
    return take(data_, split) && take(data_ + split, size_ - split);
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

class FixedBase : public PackageBase {
 public:
  const std::uint8_t* data() override { return bytes_.data(); }
  std::size_t size() override { return bytes_.size(); }
  void Release() override {}

 private:
  const Bytes bytes_ = FuzzBase();
};

}  // namespace

bool DecodesOverFuzzBase(const std::uint8_t* package, std::size_t size) {
  if (size < kPackageHeaderSize) return false;
  PackageHeader header;
  if (!ParsePackageHeader(package, &header)) return false;
  // A decoded size beyond what a test can hold is refused by the digest anyway.
  if (header.decodedSize > (64u << 20)) return false;
  BytesSource source(package, size);
  FixedBase base;
  DecodedPackage decoding(source, header, &base);
  std::uint64_t total = 0;
  std::uint32_t error = 0;
  const auto count = [&total](const std::uint8_t*, std::size_t count) {
    total += count;
    return true;
  };
  if (!decoding.DecodesIntoView()) return decoding.ForEachPiece(count, &error);
  Bytes view(static_cast<std::size_t>(header.decodedSize));
  return decoding.DecodeInto(view.data(), view.size(), count, &error) &&
         total == header.decodedSize;
}

}  // namespace vespodar::test_packages
