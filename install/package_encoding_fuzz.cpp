// Any bytes as a package: the header parse and the decoding end, with a
// failure or with exactly the stamped bytes, and never read or write out of
// bounds.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "install/package_encoding.h"

namespace {

class BytesSource : public vespodar::PackageSource {
 public:
  BytesSource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool ForEachPiece(const vespodar::TakeBytes& take, std::uint32_t*) override {
    // Two pieces, split where the first byte says, as the own file's reads may split.
    const std::size_t split = size_ ? data_[0] % (size_ + 1) : 0;
    return take(data_, split) && take(data_ + split, size_ - split);
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

class FixedBase : public vespodar::PackageBase {
 public:
  const std::uint8_t* data() override { return bytes_; }
  std::size_t size() override { return sizeof(bytes_); }
  void Release() override {}

 private:
  std::uint8_t bytes_[256] = {};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < vespodar::kPackageHeaderSize) return 0;
  vespodar::PackageHeader header;
  if (!vespodar::ParsePackageHeader(data, &header)) return 0;
  // A decoded size beyond what the fuzzer can hold is refused by the digest anyway.
  if (header.decodedSize > (64u << 20)) return 0;
  BytesSource source(data, size);
  FixedBase base;
  vespodar::DecodedPackage decoding(source, header, &base);
  std::uint64_t total = 0;
  std::uint32_t error = 0;
  const auto count = [&total](const std::uint8_t*, std::size_t count) {
    total += count;
    return true;
  };
  // As the setup decodes it: into a view of the whole file where the frame's
  // window may span it, else in pieces.
  if (decoding.DecodesIntoView()) {
    std::vector<std::uint8_t> view(static_cast<std::size_t>(header.decodedSize));
    decoding.DecodeInto(view.data(), view.size(), count, &error);
  } else {
    decoding.ForEachPiece(count, &error);
  }
  return 0;
}
