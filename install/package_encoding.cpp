#include "install/package_encoding.h"

#include <cstring>
#include <optional>
#include <vector>

// The stable output buffer is among the parameters zstd marks experimental.
#define ZSTD_STATIC_LINKING_ONLY
#include <zstd.h>

#include "base/little_endian.h"
#include "install/base_alignment.h"
#include "install/x86_branches.h"

namespace vespodar {

namespace {

const char kMagic[8] = {'V', 'd', 'P', 'k', 'Z', 's', 't', 'd'};

// A compressed package streamed through the decoder's own window: at most
// 8 MiB, so memory stays flat at any package size. Into a view, the window
// may reach back over the whole file (compressed), and over the base too
// (a delta).
const int kStreamedWindowLog = 23;
const int kWholeFileWindowLog = 29;  // kWholeFileWindowLimit
const int kDeltaWindowLog = sizeof(void*) == 4 ? 30 : 31;

// The decoder's state, freed on every way out.
class Decoder {
 public:
  Decoder() : stream_(ZSTD_createDStream()) {}
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;
  ~Decoder() { ZSTD_freeDStream(stream_); }
  ZSTD_DStream* get() const { return stream_; }

 private:
  ZSTD_DStream* stream_;
};

}  // namespace

bool ParsePackageHeader(const std::uint8_t* bytes, PackageHeader* header) {
  if (std::memcmp(bytes, kMagic, sizeof(kMagic)) != 0) return false;
  const std::uint32_t kind = ReadLe32(bytes + 8);
  const std::uint32_t filter = ReadLe32(bytes + 12);
  if (kind != static_cast<std::uint32_t>(PackageKind::kCompressed) &&
      kind != static_cast<std::uint32_t>(PackageKind::kDelta))
    return false;
  const bool known =
      filter == static_cast<std::uint32_t>(PackageFilter::kNone) ||
      (filter == static_cast<std::uint32_t>(PackageFilter::kX86Branches) &&
       kind == static_cast<std::uint32_t>(PackageKind::kCompressed)) ||
      (CarriesDifferences(static_cast<PackageFilter>(filter)) &&
       kind == static_cast<std::uint32_t>(PackageKind::kDelta));
  if (!known) return false;
  header->kind = static_cast<PackageKind>(kind);
  header->filter = static_cast<PackageFilter>(filter);
  header->decodedSize = ReadLe64(bytes + 16);
  std::memcpy(header->decodedSha256.data(), bytes + 24, 32);
  header->baseSize = ReadLe64(bytes + 56);
  std::memcpy(header->baseSha256.data(), bytes + 64, 32);
  const Digest none = {};
  const bool names_base = header->baseSize != 0 || header->baseSha256 != none;
  return (header->kind == PackageKind::kDelta) == names_base;
}

bool DecodedPackage::ForEachPiece(const TakeBytes& take, std::uint32_t* windowsError) {
  return Decode(take, nullptr, 0, windowsError);
}

bool DecodedPackage::DecodeInto(std::uint8_t* view, std::size_t size, const TakeBytes& seen,
                                std::uint32_t* windowsError) {
  if (size != header_.decodedSize) {
    *windowsError = kErrorInvalidData;
    return false;
  }
  static std::uint8_t none;  // zstd wants somewhere to write, even nothing
  return Decode(seen, view ? view : &none, size, windowsError);
}

// Without a view, each call decodes into a piece buffer of its own, through
// the decoder's window; with one, every call goes on where the last ended in
// that one stable buffer, which then serves as the window.
bool DecodedPackage::Decode(const TakeBytes& take, std::uint8_t* view, std::size_t viewSize,
                            std::uint32_t* windowsError) {
  const Decoder decoder;
  ZSTD_DStream* stream = decoder.get();
  const bool delta = header_.kind == PackageKind::kDelta;
  // Differences from the base need the whole file at hand to add the base
  // into: they decode only into a view. Their frame refers to nothing else.
  const bool moved = header_.filter == PackageFilter::kBaseDifferencesMovedBranches;
  const bool differences = CarriesDifferences(header_.filter);
  // A frame that wants more than its way of decoding allows is refused, so a
  // crafted one cannot make the setup allocate a window of its choosing.
  const int windowLog = delta                         ? kDeltaWindowLog
                        : view && DecodesIntoView() ? kWholeFileWindowLog
                                                    : kStreamedWindowLog;
  // The alignment's frame has a decoder of its own, made only for it.
  std::optional<Decoder> alignmentDecoder;
  if (differences) alignmentDecoder.emplace();
  if (!stream || (delta && !base_) || (differences && (!view || !alignmentDecoder->get())) ||
      ZSTD_isError(ZSTD_DCtx_setParameter(stream, ZSTD_d_windowLogMax, windowLog)) ||
      (differences && ZSTD_isError(ZSTD_DCtx_setParameter(
                          alignmentDecoder->get(), ZSTD_d_windowLogMax, kStreamedWindowLog))) ||
      (view && ZSTD_isError(ZSTD_DCtx_setParameter(stream, ZSTD_d_stableOutBuffer, 1))) ||
      (delta && !differences &&
       ZSTD_isError(ZSTD_DCtx_refPrefix(stream, base_->data(), base_->size())))) {
    if (base_) base_->Release();
    *windowsError = kErrorInvalidData;
    return false;
  }
  const bool filtered = header_.filter == PackageFilter::kX86Branches;
  // In pieces, the last bytes of one may begin a unit of the filter that the
  // next one ends: they wait at the front of the buffer (kFilterCarry).
  const std::size_t kFilterCarry = 4;
  std::vector<std::uint8_t> pieces(view ? 0 : kFilterCarry + ZSTD_DStreamOutSize());
  std::size_t carried = 0;
  ZSTD_outBuffer whole = {view, viewSize, 0};
  Sha256State state;
  Sha256Init(&state);
  std::uint64_t decoded = 0;
  bool damaged = false;
  bool refused = false;
  std::size_t frameLeft = 1;  // what ZSTD_decompressStream still expects; 0 once the frame ended
  // One call of the decoder: false once it failed or take refused.
  const auto step = [&](ZSTD_inBuffer* in) {
    ZSTD_outBuffer output =
        view ? whole
             : ZSTD_outBuffer{pieces.data() + carried, pieces.size() - carried, 0};
    const std::size_t before = output.pos;
    frameLeft = ZSTD_decompressStream(stream, &output, in);
    const std::size_t count = output.pos - before;
    if (ZSTD_isError(frameLeft) || count > header_.decodedSize - decoded ||
        (in->size == 0 && count == 0 && frameLeft != 0))
      return !(damaged = true);
    decoded += count;
    if (view) {
      // A filtered package is hashed once restored, after the frame; one of
      // differences as the base is added in.
      whole = output;
      if (!filtered && !differences) Sha256Update(&state, view + before, count);
      if (count && !take(view + before, count)) return !(refused = true);
      return true;
    }
    const std::size_t ready = carried + count;
    const std::size_t done =
        filtered ? RestoreX86Branches(pieces.data(), ready, decoded - ready) : ready;
    Sha256Update(&state, pieces.data(), done);
    if (done && !take(pieces.data(), done)) return !(refused = true);
    carried = ready - done;
    std::memmove(pieces.data(), pieces.data() + done, carried);
    return true;
  };
  // Differences: the alignment's frame follows the first one, its records
  // applied as they come, a piece at a time.
  std::optional<BaseAlignment> alignment;
  std::vector<std::uint8_t> records(differences ? ZSTD_DStreamOutSize() : 0);
  std::size_t alignmentLeft = 1;
  const auto alignmentStep = [&](ZSTD_inBuffer* in) {
    if (!alignment) {
      // The differences all decoded, and not a byte more or less.
      if (decoded != header_.decodedSize) return !(damaged = true);
      alignment.emplace(view, viewSize, base_->data(), base_->size(), &state, moved);
    }
    ZSTD_outBuffer output = {records.data(), records.size(), 0};
    alignmentLeft = ZSTD_decompressStream(alignmentDecoder->get(), &output, in);
    if (ZSTD_isError(alignmentLeft) || !alignment->Take(records.data(), output.pos) ||
        (in->size == 0 && output.pos == 0 && alignmentLeft != 0))
      return !(damaged = true);
    return true;
  };
  std::size_t headerLeft = kPackageHeaderSize;  // the header is the caller's, read already
  const bool read = encoded_.ForEachPiece(
      [&](const std::uint8_t* data, std::size_t count) {
        const std::size_t skip = count < headerLeft ? count : headerLeft;
        headerLeft -= skip;
        ZSTD_inBuffer in = {data + skip, count - skip, 0};
        while (in.pos < in.size) {
          if (frameLeft != 0) {
            if (!step(&in)) return false;
            continue;
          }
          // Bytes after the last frame's end are no part of any package.
          if (!differences || alignmentLeft == 0) return !(damaged = true);
          if (!alignmentStep(&in)) return false;
        }
        return true;
      },
      windowsError);
  // Drains what the decoders still hold once the input has ended.
  while (read && frameLeft != 0 && !damaged && !refused) {
    ZSTD_inBuffer in = {nullptr, 0, 0};
    if (!step(&in)) break;
  }
  while (read && differences && alignment && alignmentLeft != 0 && !damaged && !refused) {
    ZSTD_inBuffer in = {nullptr, 0, 0};
    if (!alignmentStep(&in)) break;
  }
  // Moved branches need every record before the first is applied; the base
  // is still at hand here.
  if (read && alignment && alignmentLeft == 0 && !damaged && !refused && !alignment->Finish())
    damaged = true;
  if (base_) base_->Release();
  if (refused || (!read && !damaged)) return false;
  const bool wholeFrame = !damaged && frameLeft == 0 && decoded == header_.decodedSize &&
                          (!differences || (alignment && alignmentLeft == 0 && alignment->Ended()));
  if (wholeFrame && filtered && view) {
    // A stretch at a time, hashed while it is still in the cache.
    const std::size_t kStretch = std::size_t{1} << 20;
    for (std::size_t at = 0; at < viewSize;) {
      const std::size_t left = viewSize - at;
      const std::size_t stretch = left < kStretch ? left : kStretch;
      std::size_t done = RestoreX86Branches(view + at, stretch, at);
      if (stretch == left) done = left;  // the file's last bytes stay as they are
      Sha256Update(&state, view + at, done);
      at += done;
    }
  }
  // The file's last bytes, which no unit of the filter ends.
  if (wholeFrame && carried) {
    Sha256Update(&state, pieces.data(), carried);
    if (!take(pieces.data(), carried)) return false;
  }
  if (!wholeFrame || Sha256Final(&state) != header_.decodedSha256) {
    *windowsError = kErrorInvalidData;
    return false;
  }
  return true;
}

}  // namespace vespodar
