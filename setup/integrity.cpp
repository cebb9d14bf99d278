#include "setup/integrity.h"

#include <algorithm>
#include <cstring>

#include "base/little_endian.h"
#include "base/sha256.h"

namespace vespodar {

namespace {

std::uint32_t Read16(const std::uint8_t* p) { return ReadLe16(p); }
std::uint32_t Read32(const std::uint8_t* p) { return ReadLe32(p); }
void Write32(std::uint8_t* p, std::uint32_t value) { WriteLe32(p, value); }

// Offsets inside the optional header. The checksum sits at the same place in
// both formats; a 64-bit image (PE32+) has 64-bit stack and heap sizes and
// its image base, and so its data directories 16 bytes further on.
const std::size_t kOptionalChecksum = 64;
const std::size_t kOptionalDirectoryCount = 92;
const std::size_t kOptionalDirectories = 96;
const std::size_t kPe32PlusShift = 16;
const std::size_t kCertificateDirectory = 4;
const std::uint16_t kPe32Magic = 0x10B;
const std::uint16_t kPe32PlusMagic = 0x20B;
// A certificate table is a few kilobytes; one this large is no signature of
// ours, and reading it whole would only cost memory.
const std::size_t kMaxCertificateTableBytes = 1024 * 1024;
// WIN_CERT_REVISION_2_0 and WIN_CERT_TYPE_PKCS_SIGNED_DATA: what Authenticode
// writes.
const std::uint32_t kCertificateRevision = 0x0200;
const std::uint32_t kCertificateType = 0x0002;

std::size_t PaddedTo8(std::size_t size) { return (size + 7) & ~static_cast<std::size_t>(7); }

// One DER element: its tag (one byte: low tag numbers only, as in every
// structure read here), where it begins and where its contents lie.
struct DerElement {
  std::uint8_t tag = 0;
  const std::uint8_t* begin = nullptr;
  std::size_t size = 0;  // header included
  const std::uint8_t* contents = nullptr;
  std::size_t length = 0;
};

// The bytes still to read of a DER text.
struct DerText {
  const std::uint8_t* data;
  std::size_t size;
};

// Reads the element at the front of *TEXT and steps past it; false when none
// fits (a definite length of up to 4 bytes).
bool NextElement(DerText* text, DerElement* element) {
  const std::uint8_t* data = text->data;
  const std::size_t size = text->size;
  if (size < 2 || (data[0] & 0x1F) == 0x1F) return false;
  std::size_t header = 2;
  std::size_t length = data[1];
  if (length & 0x80) {
    const std::size_t count = length & 0x7F;
    if (count == 0 || count > 4 || size < 2 + count) return false;
    length = 0;
    for (std::size_t i = 0; i < count; ++i) length = (length << 8) | data[2 + i];
    header += count;
  }
  if (length > size - header) return false;
  *element = {data[0], data, header + length, data + header, length};
  text->data += header + length;
  text->size -= header + length;
  return true;
}

DerText ContentsOf(const DerElement& element) { return {element.contents, element.length}; }

// Object identifiers by their encoded contents, the first byte their length.
const std::uint8_t kSignedDataOid[] = {9, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};
const std::uint8_t kCounterSignatureOid[] = {9, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09,
                                             0x06};
const std::uint8_t kTimestampOid[] = {10, 0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x03, 0x03,
                                      0x01};
const std::uint8_t kNestedSignatureOid[] = {10,   0x2B, 0x06, 0x01, 0x04, 0x01,
                                            0x82, 0x37, 0x02, 0x04, 0x01};

bool IsOid(const DerElement& element, const std::uint8_t* oid) {
  return element.tag == 0x06 && element.length == oid[0] &&
         std::memcmp(element.contents, oid + 1, oid[0]) == 0;
}

// A signature nested in a nested signature is still looked into; deeper
// than this, none is written by any signing tool.
const int kMaxNesting = 2;

bool SignatureHidesNothing(const std::uint8_t* data, std::size_t size, int depth);

// A SignerInfo's unauthenticated attributes: the one place of a signature
// that no digest covers. Only what signing tools put there may be there.
bool UnsignedAttributesAllowed(const DerElement& attributes, int depth) {
  DerText rest = ContentsOf(attributes);
  while (rest.size) {
    DerElement attribute, type, values;
    if (!NextElement(&rest, &attribute) || attribute.tag != 0x30) return false;
    DerText fields = ContentsOf(attribute);
    if (!NextElement(&fields, &type) || !NextElement(&fields, &values) || values.tag != 0x31 ||
        fields.size)
      return false;
    if (IsOid(type, kCounterSignatureOid) || IsOid(type, kTimestampOid)) continue;
    if (!IsOid(type, kNestedSignatureOid) || depth >= kMaxNesting) return false;
    DerText nested = ContentsOf(values);
    while (nested.size) {
      DerElement signature;
      if (!NextElement(&nested, &signature) ||
          !SignatureHidesNothing(signature.begin, signature.size, depth + 1))
        return false;
    }
  }
  return true;
}

// Whether DATA is one PKCS#7 ContentInfo of signed data, and nothing after
// it, whose signers' unauthenticated attributes hold only a countersignature,
// an RFC 3161 timestamp or a nested signature (itself looked into).
bool SignatureHidesNothing(const std::uint8_t* data, std::size_t size, int depth) {
  DerText text = {data, size};
  DerElement info, type, explicitContent, signedData;
  if (!NextElement(&text, &info) || info.tag != 0x30 || text.size) return false;
  DerText fields = ContentsOf(info);
  if (!NextElement(&fields, &type) || !IsOid(type, kSignedDataOid) ||
      !NextElement(&fields, &explicitContent) || explicitContent.tag != 0xA0 || fields.size)
    return false;
  fields = ContentsOf(explicitContent);
  if (!NextElement(&fields, &signedData) || signedData.tag != 0x30 || fields.size) return false;
  // The signers come last: version, digest algorithms, content, the
  // optional certificates and revocation lists, then the SET of SignerInfo.
  DerText parts = ContentsOf(signedData);
  DerElement part;
  while (parts.size)
    if (!NextElement(&parts, &part)) return false;
  if (part.tag != 0x31) return false;
  DerText signers = ContentsOf(part);
  while (signers.size) {
    DerElement signer, field;
    if (!NextElement(&signers, &signer) || signer.tag != 0x30) return false;
    DerText rest = ContentsOf(signer);
    while (rest.size) {
      if (!NextElement(&rest, &field)) return false;
      // [1] IMPLICIT unauthenticatedAttributes, the SignerInfo's last field.
      if (field.tag == 0xA1 && (rest.size || !UnsignedAttributesAllowed(field, depth)))
        return false;
    }
  }
  return true;
}

// What the digest takes after the covered ranges: the covered length itself,
// so that a stamp may not be moved to another length.
std::array<std::uint8_t, 4> LengthSuffix(std::size_t length) {
  std::array<std::uint8_t, 4> bytes;
  Write32(bytes.data(), static_cast<std::uint32_t>(length));
  return bytes;
}

bool DigestOf(const std::uint8_t* image, const ImageLayout& layout, std::size_t length,
              const HashRanges& hash, Digest* digest) {
  std::vector<std::pair<const std::uint8_t*, std::size_t>> parts;
  for (const ByteRange& range : CoveredRanges(layout, length))
    parts.emplace_back(image + range.offset, range.size);
  const std::array<std::uint8_t, 4> suffix = LengthSuffix(length);
  parts.emplace_back(suffix.data(), suffix.size());
  return hash(parts, digest);
}

enum class HeaderParse { kParsed, kBad, kNeedMore };

// Reads the layout from the first HEAD_SIZE bytes of a file of FILE_SIZE
// bytes. When the headers go on past what is there, *needed is how many
// leading bytes it takes. The stamp block's magic is left to the caller.
HeaderParse ParseHeaders(const std::uint8_t* image, std::size_t headSize, std::size_t size,
                         ImageLayout* layout, std::size_t* needed) {
  auto missing = [&](std::size_t end) {
    if (end <= headSize) return false;
    *needed = end;
    return true;
  };
  if (size < 64) return HeaderParse::kBad;
  if (missing(64)) return HeaderParse::kNeedMore;
  if (image[0] != 'M' || image[1] != 'Z') return HeaderParse::kBad;
  const std::size_t pe = Read32(image + 60);
  if (pe > size || size - pe < 24) return HeaderParse::kBad;
  if (missing(pe + 24)) return HeaderParse::kNeedMore;
  if (std::memcmp(image + pe, "PE\0\0", 4) != 0) return HeaderParse::kBad;
  const std::size_t sectionCount = Read16(image + pe + 6);
  const std::size_t optionalSize = Read16(image + pe + 20);
  const std::size_t optional = pe + 24;
  if (size - optional < optionalSize || optionalSize < 2) return HeaderParse::kBad;
  if (missing(optional + optionalSize)) return HeaderParse::kNeedMore;
  const std::uint32_t magic = Read16(image + optional);
  if (magic != kPe32Magic && magic != kPe32PlusMagic) return HeaderParse::kBad;
  const std::size_t shift = magic == kPe32PlusMagic ? kPe32PlusShift : 0;
  if (optionalSize < shift + kOptionalDirectories + 8 * (kCertificateDirectory + 1) ||
      Read32(image + optional + shift + kOptionalDirectoryCount) <= kCertificateDirectory)
    return HeaderParse::kBad;
  layout->checksumOffset = optional + kOptionalChecksum;
  layout->certEntryOffset = optional + shift + kOptionalDirectories + 8 * kCertificateDirectory;
  // The certificate table's "address" is a file offset, not an RVA.
  layout->certTableOffset = Read32(image + layout->certEntryOffset);
  layout->certTableSize = Read32(image + layout->certEntryOffset + 4);

  const std::size_t sections = optional + optionalSize;
  if (sectionCount > (size - std::min(size, sections)) / 40) return HeaderParse::kBad;
  if (missing(sections + 40 * sectionCount)) return HeaderParse::kNeedMore;
  for (std::size_t i = 0; i < sectionCount; ++i) {
    const std::uint8_t* header = image + sections + 40 * i;
    if (std::memcmp(header, kStampSectionName, 8) != 0) continue;
    const std::size_t raw = Read32(header + 20);
    const std::size_t rawSize = Read32(header + 16);
    if (raw > size || rawSize < kStampSize || size - raw < kStampSize) return HeaderParse::kBad;
    layout->stampOffset = raw;
    return HeaderParse::kParsed;
  }
  return HeaderParse::kBad;
}

// What the stamp block and the file's size say, before any digest: distorted,
// or intact so far (kIntact). READ gives the padding between the stamped
// length and the certificate table (fewer than 8 bytes) and the table.
StampCheck CheckStampBlock(const ImageLayout& layout, const std::uint8_t* stamp, std::size_t size,
                           const ReadBytes& read, StampedSignature* signature) {
  const std::size_t length = Read32(stamp + 16);
  if (Read32(stamp + 20) != kStampStateStamped || length > size ||
      length < layout.stampOffset + kStampSize)
    return StampCheck::kDistorted;
  // The entry is left out of the digest: unsigned, it must say so itself, or
  // it could point at anything appended. A stamp that names a signer was
  // made for a signed file: without its signature, it was cut off.
  if (size == length) {
    const Digest none = {};
    return layout.certTableSize == 0 && layout.certTableOffset == 0 &&
                   std::memcmp(stamp + kStampSignerOffset, none.data(), none.size()) == 0
               ? StampCheck::kIntact
               : StampCheck::kDistorted;
  }
  // Signing pads the file to a multiple of 8 with zeros and appends the
  // certificate table; nothing else may follow the stamped bytes.
  const std::size_t padded = PaddedTo8(length);
  if (layout.certTableOffset != padded || layout.certTableOffset > size ||
      size - layout.certTableOffset != layout.certTableSize ||
      layout.certTableSize > kMaxCertificateTableBytes)
    return StampCheck::kDistorted;
  std::vector<std::uint8_t> table(padded - length + layout.certTableSize);
  if (!read(length, table.size(), table.data())) return StampCheck::kHashFailed;
  for (std::size_t i = 0; i < padded - length; ++i)
    if (table[i] != 0) return StampCheck::kDistorted;
  if (!IsWellFormedCertificateTable(table.data() + (padded - length), layout.certTableSize))
    return StampCheck::kDistorted;
  if (signature) {
    signature->isSigned = true;
    std::memcpy(signature->signer.data(), stamp + kStampSignerOffset, signature->signer.size());
  }
  return StampCheck::kIntact;
}

}  // namespace

bool IsWellFormedCertificateTable(const std::uint8_t* table, std::size_t size) {
  if (size < 8) return false;
  const std::size_t length = Read32(table);
  if (length < 8 || length > size || Read16(table + 4) != kCertificateRevision ||
      Read16(table + 6) != kCertificateType)
    return false;
  DerText text = {table + 8, length - 8};
  DerElement signature;
  if (!NextElement(&text, &signature) || signature.tag != 0x30 ||
      !SignatureHidesNothing(signature.begin, signature.size, 0))
    return false;
  // From the signature's end to the next 8-byte boundary: zeros, and fewer
  // than 8 of them (whether the entry's length counts them or not); then the
  // table ends. Windows reads one entry: a second is room for any bytes.
  const std::size_t end = 8 + signature.size;
  if (PaddedTo8(length) != size || size - end >= 8) return false;
  for (std::size_t i = end; i < size; ++i)
    if (table[i] != 0) return false;
  return true;
}

bool SignatureAccepted(const SignatureFacts& facts, const Digest& stampedSigner) {
  const std::int32_t status = facts.trustStatus;
  const bool verified = status == 0 || status == kTrustUntrustedRoot || status == kTrustChaining;
  // Expired now, but made while the certificate was valid: what a timestamp
  // that Windows verified says. A system that knows no RFC 3161 timestamp
  // (XP, Vista) sees none, and the expiry stands there.
  const bool madeInTime = status == kTrustExpired && facts.timestamped &&
                          facts.timestampTime >= facts.validFrom &&
                          facts.timestampTime <= facts.validUntil;
  if (!verified && !madeInTime) return false;
  const Digest none = {};
  return stampedSigner != none && facts.signerCertificate == stampedSigner;
}

bool ParseImageLayout(const std::uint8_t* image, std::size_t size, ImageLayout* layout) {
  std::size_t needed = 0;
  // The whole file is there: it never needs more.
  if (ParseHeaders(image, size, size, layout, &needed) != HeaderParse::kParsed) return false;
  return std::memcmp(image + layout->stampOffset, kStampMagic, sizeof(kStampMagic)) == 0;
}

std::vector<ByteRange> CoveredRanges(const ImageLayout& layout, std::size_t length) {
  std::vector<ByteRange> left_out = {{layout.checksumOffset, 4},
                                     {layout.certEntryOffset, 8},
                                     {layout.stampOffset, kStampSize}};
  // Three ranges: put them in order by hand (std::sort would bring a
  // kilobyte of code for it).
  for (std::size_t i = 1; i < left_out.size(); ++i)
    for (std::size_t j = i; j > 0 && left_out[j].offset < left_out[j - 1].offset; --j)
      std::swap(left_out[j], left_out[j - 1]);
  std::vector<ByteRange> covered;
  std::size_t position = 0;
  for (const ByteRange& gap : left_out) {
    const std::size_t start = std::min(gap.offset, length);
    if (start > position) covered.push_back({position, start - position});
    position = std::max(position, std::min(gap.offset + gap.size, length));
  }
  if (length > position) covered.push_back({position, length - position});
  return covered;
}

StampCheck CheckImageStamp(const std::uint8_t* image, std::size_t size, const HashRanges& hash) {
  ImageLayout layout;
  if (!ParseImageLayout(image, size, &layout)) return StampCheck::kDistorted;
  const std::uint8_t* stamp = image + layout.stampOffset;
  const StampCheck block = CheckStampBlock(
      layout, stamp, size,
      [image](std::size_t offset, std::size_t count, std::uint8_t* out) {
        std::memcpy(out, image + offset, count);
        return true;
      },
      nullptr);
  if (block != StampCheck::kIntact) return block;

  Digest digest;
  if (!DigestOf(image, layout, Read32(stamp + 16), hash, &digest)) return StampCheck::kHashFailed;
  return std::memcmp(digest.data(), stamp + 24, digest.size()) == 0 ? StampCheck::kIntact
                                                                     : StampCheck::kDistorted;
}

StampCheck CheckFileStamp(std::size_t size, const ReadBytes& read, StampedSignature* signature,
                          const std::uint8_t* runningStamp) {
  ImageLayout layout;
  std::vector<std::uint8_t> head;
  std::size_t needed = 0;
  for (;;) {
    const HeaderParse parsed = ParseHeaders(head.data(), head.size(), size, &layout, &needed);
    if (parsed == HeaderParse::kBad) return StampCheck::kDistorted;
    if (parsed == HeaderParse::kParsed) break;
    // A page at least: the headers of a linked image then take one read.
    needed = std::max(needed, std::min<std::size_t>(size, 4096));
    head.resize(needed);
    if (!read(0, needed, head.data())) return StampCheck::kHashFailed;
  }
  std::uint8_t stamp[kStampSize];
  if (!read(layout.stampOffset, kStampSize, stamp)) return StampCheck::kHashFailed;
  if (std::memcmp(stamp, kStampMagic, sizeof(kStampMagic)) != 0 ||
      (runningStamp && std::memcmp(stamp, runningStamp, kStampSize) != 0))
    return StampCheck::kDistorted;
  StampedSignature stamped;
  const StampCheck block = CheckStampBlock(layout, stamp, size, read, &stamped);
  if (block != StampCheck::kIntact) return block;

  const std::size_t length = Read32(stamp + 16);
  Sha256State state;
  Sha256Init(&state);
  std::vector<std::uint8_t> piece(std::min(length, kFilePieceBytes));
  for (const ByteRange& range : CoveredRanges(layout, length)) {
    if (!ForEachPiece(range.offset, range.size, piece.data(), piece.size(), read,
                      [&state](const std::uint8_t* data, std::size_t count) {
                        Sha256Update(&state, data, count);
                        return true;
                      }))
      return StampCheck::kHashFailed;
  }
  const std::array<std::uint8_t, 4> suffix = LengthSuffix(length);
  Sha256Update(&state, suffix.data(), suffix.size());
  const Digest digest = Sha256Final(&state);
  if (std::memcmp(digest.data(), stamp + 24, digest.size()) != 0) return StampCheck::kDistorted;
  *signature = stamped;
  return StampCheck::kIntact;
}

bool RedirectionPlanted(std::uint32_t lookupError) {
  const std::uint32_t kFileNotFound = 2, kPathNotFound = 3;
  return lookupError != kFileNotFound && lookupError != kPathNotFound;
}

bool StampImage(std::uint8_t* image, std::size_t size, const HashRanges& hash,
                const Digest& signer, std::string* error) {
  ImageLayout layout;
  if (!ParseImageLayout(image, size, &layout)) {
    *error = "not a PE image with a stamp section";
    return false;
  }
  if (layout.certTableOffset != 0 || layout.certTableSize != 0) {
    *error = "the image is signed already: stamp it before signing";
    return false;
  }
  if (size > 0xFFFFFFFFu) {
    *error = "the image is too large";
    return false;
  }
  std::uint8_t* stamp = image + layout.stampOffset;
  Write32(stamp + 16, static_cast<std::uint32_t>(size));
  Write32(stamp + 20, kStampStateStamped);
  std::memcpy(stamp + kStampSignerOffset, signer.data(), signer.size());
  Digest digest;
  if (!DigestOf(image, layout, size, hash, &digest)) {
    *error = "the hash failed";
    return false;
  }
  std::memcpy(stamp + 24, digest.data(), digest.size());
  return true;
}

}  // namespace vespodar
