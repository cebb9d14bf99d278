#include "setup/integrity.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstring>
#include <numeric>

namespace vespodar {

namespace {

bool Sha256(const std::vector<std::pair<const std::uint8_t*, std::size_t>>& parts, Digest* digest) {
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  EVP_DigestInit_ex(context, EVP_sha256(), nullptr);
  for (const auto& part : parts) EVP_DigestUpdate(context, part.first, part.second);
  unsigned int size = 0;
  EVP_DigestFinal_ex(context, digest->data(), &size);
  EVP_MD_CTX_free(context);
  return true;
}

void Put16(std::vector<std::uint8_t>& image, std::size_t at, std::uint32_t value) {
  image[at] = value & 0xFF;
  image[at + 1] = (value >> 8) & 0xFF;
}
void Put32(std::vector<std::uint8_t>& image, std::size_t at, std::uint32_t value) {
  Put16(image, at, value & 0xFFFF);
  Put16(image, at + 2, value >> 16);
}

// A minimal PE32 image: headers, a ".text" section at 0x200 and the stamp
// section at 0x400, 0x600 bytes in all.
const std::size_t kPe = 0x40, kOptional = kPe + 24, kSections = kOptional + 224;
const std::size_t kChecksum = kOptional + 64, kCertEntry = kOptional + 96 + 32;
const std::size_t kText = 0x200, kStamp = 0x400, kImageSize = 0x600;

std::vector<std::uint8_t> MakeImage() {
  std::vector<std::uint8_t> image(kImageSize, 0);
  image[0] = 'M';
  image[1] = 'Z';
  Put32(image, 60, kPe);
  std::memcpy(&image[kPe], "PE\0\0", 4);
  Put16(image, kPe + 6, 2);      // sections
  Put16(image, kPe + 20, 224);   // optional header size
  Put16(image, kOptional, 0x10B);
  Put32(image, kOptional + 92, 16);
  const char* names[] = {".text", kStampSectionName};
  const std::size_t raw[] = {kText, kStamp};
  for (int i = 0; i < 2; ++i) {
    std::size_t header = kSections + 40 * i;
    std::memcpy(&image[header], names[i], std::strlen(names[i]));
    Put32(image, header + 16, 0x200);
    Put32(image, header + 20, raw[i]);
  }
  for (std::size_t i = kText; i < kStamp; ++i) image[i] = static_cast<std::uint8_t>(i * 7);
  std::memcpy(&image[kStamp], kStampMagic, sizeof(kStampMagic));
  return image;
}

const Digest kNoSigner = {};

std::vector<std::uint8_t> Stamped() {
  std::vector<std::uint8_t> image = MakeImage();
  std::string error;
  EXPECT_TRUE(StampImage(image.data(), image.size(), Sha256, kNoSigner, &error)) << error;
  return image;
}

using Bytes = std::vector<std::uint8_t>;

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// One DER element.
Bytes Tlv(std::uint8_t tag, const Bytes& contents) {
  Bytes element = {tag};
  const std::size_t n = contents.size();
  if (n < 0x80) {
    element.push_back(static_cast<std::uint8_t>(n));
  } else if (n < 0x100) {
    element.insert(element.end(), {0x81, static_cast<std::uint8_t>(n)});
  } else {
    element.insert(element.end(),
                   {0x82, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
  }
  return element + contents;
}

const Bytes kSignedData = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};
const Bytes kCounterSignature = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x06};
const Bytes kTimestamp = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x03, 0x03, 0x01};
const Bytes kNested = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x04, 0x01};
const Bytes kUnknown = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0xCF, 0x29, 0x01, 0x02, 0x01};

Bytes Attribute(const Bytes& oid, const Bytes& values) {
  return Tlv(0x30, Tlv(0x06, oid) + Tlv(0x31, values));
}

// A PKCS#7 ContentInfo of signed data, shaped as Authenticode writes it:
// FILLER bytes stand for the certificates, UNSIGNED are the one signer's
// unauthenticated attributes ([1], left out when empty), AFTER follows them.
Bytes Signature(std::size_t filler, const Bytes& unsignedAttributes = {},
                const Bytes& after = {}) {
  const Bytes version = Tlv(0x02, {1});
  Bytes signer = version + Tlv(0x30, {}) + Tlv(0x30, {}) + Tlv(0x04, {0xAB});
  if (!unsignedAttributes.empty()) signer = signer + Tlv(0xA1, unsignedAttributes);
  const Bytes signedData = version + Tlv(0x31, {}) + Tlv(0x30, {}) +
                           Tlv(0xA0, Bytes(filler, 0xC5)) + Tlv(0x31, Tlv(0x30, signer + after));
  return Tlv(0x30, Tlv(0x06, kSignedData) + Tlv(0xA0, Tlv(0x30, signedData)));
}

// One WIN_CERTIFICATE (revision 2.0, PKCS#7) around SIGNATURE, its length
// counting the zero padding to 8.
Bytes Entry(const Bytes& signature) {
  Bytes entry = Bytes(8, 0) + signature;
  while (entry.size() % 8) entry.push_back(0);
  Put32(entry, 0, static_cast<std::uint32_t>(entry.size()));
  Put16(entry, 4, 0x0200);
  Put16(entry, 6, 0x0002);
  return entry;
}

// An entry whose signature's SEQUENCE holds CONTENT bytes.
Bytes Certificate(std::size_t content) {
  for (std::size_t filler = 0; filler < content; ++filler) {
    const Bytes signature = Signature(filler);
    const std::size_t header = signature[1] < 0x80 ? 2 : 2 + (signature[1] & 0x7F);
    if (signature.size() - header == content) return Entry(signature);
  }
  ADD_FAILURE() << "no signature of " << content << " bytes";
  return {};
}

// What a signing tool does: set the checksum, pad to 8 bytes, append the
// certificate table and point the directory entry at it.
void Sign(std::vector<std::uint8_t>& image,
          const std::vector<std::uint8_t>& table = Certificate(54),
          std::size_t certEntry = kCertEntry) {
  Put32(image, kChecksum, 0x12345678);
  while (image.size() % 8) image.push_back(0);
  const std::size_t at = image.size();
  image.insert(image.end(), table.begin(), table.end());
  Put32(image, certEntry, static_cast<std::uint32_t>(at));
  Put32(image, certEntry + 4, static_cast<std::uint32_t>(table.size()));
}

// The file check reads the image piece by piece: never past its end, never
// more than the headers or a chunk at once.
StampCheck CheckFile(const std::vector<std::uint8_t>& image,
                     StampedSignature* signature = nullptr) {
  StampedSignature ignored;
  return CheckFileStamp(image.size(),
                        [&image](std::size_t offset, std::size_t count, std::uint8_t* out) {
                          EXPECT_LE(offset, image.size());
                          EXPECT_LE(count, image.size() - offset);
                          EXPECT_LE(count, std::max<std::size_t>(4096, kFilePieceBytes));
                          std::memcpy(out, image.data() + offset, count);
                          return true;
                        },
                        signature ? signature : &ignored);
}

// Every image is judged by both checks, which must agree.
StampCheck Check(const std::vector<std::uint8_t>& image) {
  const StampCheck whole = CheckImageStamp(image.data(), image.size(), Sha256);
  EXPECT_EQ(CheckFile(image), whole);
  return whole;
}

TEST(IntegrityTest, LayoutAndCoveredRangesLeaveOutExactlyTheThreeFields) {
  const std::vector<std::uint8_t> image = MakeImage();
  ImageLayout layout;
  ASSERT_TRUE(ParseImageLayout(image.data(), image.size(), &layout));
  EXPECT_EQ(kChecksum, layout.checksumOffset);
  EXPECT_EQ(kCertEntry, layout.certEntryOffset);
  EXPECT_EQ(kStamp, layout.stampOffset);

  const std::vector<ByteRange> ranges = CoveredRanges(layout, image.size());
  std::vector<bool> covered(image.size(), false);
  for (const ByteRange& range : ranges)
    for (std::size_t i = range.offset; i < range.offset + range.size; ++i) {
      ASSERT_FALSE(covered[i]) << "covered twice: " << i;
      covered[i] = true;
    }
  for (std::size_t i = 0; i < image.size(); ++i) {
    const bool leftOut = (i >= kChecksum && i < kChecksum + 4) ||
                         (i >= kCertEntry && i < kCertEntry + 8) ||
                         (i >= kStamp && i < kStamp + kStampSize);
    ASSERT_EQ(!leftOut, covered[i]) << i;
  }
  // A length that ends inside a left-out field stops there.
  EXPECT_EQ(kChecksum + 0, CoveredRanges(layout, kChecksum + 2).back().offset +
                               CoveredRanges(layout, kChecksum + 2).back().size);
}

TEST(IntegrityTest, StampedImageIsIntactAndEveryCoveredByteMatters) {
  const std::vector<std::uint8_t> stamped = Stamped();
  ASSERT_EQ(StampCheck::kIntact, Check(stamped));
  for (std::size_t at : {std::size_t(0), std::size_t(2), kPe + 6, kSections + 3, kText,
                         kText + 0x1FF, kStamp + kStampSize, kImageSize - 1}) {
    std::vector<std::uint8_t> changed = stamped;
    changed[at] ^= 0x01;
    EXPECT_EQ(StampCheck::kDistorted, Check(changed)) << at;
  }
  // The checksum is left out: a tool that fixes it keeps the file intact.
  std::vector<std::uint8_t> checksummed = stamped;
  checksummed[kChecksum + 1] ^= 0xFF;
  EXPECT_EQ(StampCheck::kIntact, Check(checksummed));
  // The stamp's digest and its length are not free to change.
  for (std::size_t at : {kStamp + 24, kStamp + 16, kStamp + 20, kStamp + 3}) {
    std::vector<std::uint8_t> changed = stamped;
    changed[at] ^= 0x01;
    EXPECT_EQ(StampCheck::kDistorted, Check(changed)) << at;
  }
}

TEST(IntegrityTest, SignedImageStaysIntactButNothingMayBeAdded) {
  std::vector<std::uint8_t> image = Stamped();
  image.push_back(0);  // an odd length, so that signing pads
  image.pop_back();
  std::vector<std::uint8_t> signedImage = image;
  Sign(signedImage);
  EXPECT_EQ(StampCheck::kIntact, Check(signedImage));

  std::vector<std::uint8_t> appended = signedImage;
  appended.push_back(0);
  EXPECT_EQ(StampCheck::kDistorted, Check(appended));

  std::vector<std::uint8_t> unsignedAppended = image;
  unsignedAppended.insert(unsignedAppended.end(), {'x', 'y'});
  EXPECT_EQ(StampCheck::kDistorted, Check(unsignedAppended));

  std::vector<std::uint8_t> flipped = signedImage;
  flipped[kText + 5] ^= 0x80;
  EXPECT_EQ(StampCheck::kDistorted, Check(flipped));
  // A certificate table bigger than what follows it.
  std::vector<std::uint8_t> lying = signedImage;
  Put32(lying, kCertEntry + 4, 65);
  EXPECT_EQ(StampCheck::kDistorted, Check(lying));
}

// Bytes appended to an unsigned setup with the certificate entry pointed at
// them: what the entry's place outside the digest would let through unless
// the table itself is judged.
TEST(IntegrityTest, CertificateEntryMustBeZeroOrPointAtWellFormedSignatures) {
  const std::vector<std::uint8_t> image = Stamped();
  std::vector<std::uint8_t> pointed = image;
  Sign(pointed, std::vector<std::uint8_t>(32, 0xAB));
  EXPECT_EQ(StampCheck::kDistorted, Check(pointed));
  // Unsigned, and the entry pointing into the file itself.
  std::vector<std::uint8_t> inside = image;
  Put32(inside, kCertEntry, kText);
  Put32(inside, kCertEntry + 4, 16);
  EXPECT_EQ(StampCheck::kDistorted, Check(inside));
  std::vector<std::uint8_t> sizeOnly = image;
  Put32(sizeOnly, kCertEntry + 4, 8);
  EXPECT_EQ(StampCheck::kDistorted, Check(sizeOnly));

  // Signed with the signer the stamp names: the file check hands it on.
  Digest signer;
  signer.fill(0x5E);
  std::vector<std::uint8_t> signedImage = MakeImage();
  std::string error;
  ASSERT_TRUE(StampImage(signedImage.data(), signedImage.size(), Sha256, signer, &error));
  // Stamped for a signer but never signed, or its signature cut off: the
  // stamp says a signature belongs to it.
  EXPECT_EQ(StampCheck::kDistorted, Check(signedImage));
  StampedSignature signature;
  Sign(signedImage);
  EXPECT_EQ(StampCheck::kIntact, CheckFile(signedImage, &signature));
  EXPECT_TRUE(signature.isSigned);
  EXPECT_EQ(signer, signature.signer);
}

TEST(IntegrityTest, CertificateTableHoldsSignaturesAndNothingHidden) {
  const std::vector<std::uint8_t> one = Certificate(51);  // 8 + 2 + 51, padded to 64
  std::vector<std::uint8_t> two = one;
  const std::vector<std::uint8_t> second = Certificate(300);
  two.insert(two.end(), second.begin(), second.end());
  // Its length without the padding, as some tools write it.
  std::vector<std::uint8_t> unpaddedLength = one;
  Put32(unpaddedLength, 0, 8 + 2 + 51);

  // Hidden bytes at the end of the signature, the entry's length and the
  // table's size enlarged to cover them.
  std::vector<std::uint8_t> hidden = one;
  hidden.insert(hidden.end(), 16, 0x77);
  Put32(hidden, 0, static_cast<std::uint32_t>(hidden.size()));
  // The same with zeros: still more than the padding to 8 bytes.
  std::vector<std::uint8_t> hiddenZeros = one;
  hiddenZeros.insert(hiddenZeros.end(), 8, 0);
  Put32(hiddenZeros, 0, static_cast<std::uint32_t>(hiddenZeros.size()));
  // Bytes after the last entry, the table's size enlarged alone.
  std::vector<std::uint8_t> trailing = one;
  trailing.insert(trailing.end(), 8, 0);
  std::vector<std::uint8_t> badPadding = one;
  badPadding[63] = 1;
  std::vector<std::uint8_t> revision1 = one;
  Put16(revision1, 4, 0x0100);
  std::vector<std::uint8_t> notPkcs7 = one;
  Put16(notPkcs7, 6, 0x0001);
  std::vector<std::uint8_t> tooLong = one;
  Put32(tooLong, 0, 72);
  std::vector<std::uint8_t> tooShort = one;
  Put32(tooShort, 0, 4);
  std::vector<std::uint8_t> notSequence = one;
  notSequence[8] = 0x31;
  std::vector<std::uint8_t> indefinite = one;
  indefinite[9] = 0x80;
  std::vector<std::uint8_t> derTooLong = one;
  derTooLong[9] = 60;

  const struct {
    const char* name;
    const std::vector<std::uint8_t>& table;
    bool wellFormed;
  } cases[] = {
      {"one", one, true},
      {"two entries", two, false},
      {"unpadded length", unpaddedLength, true},
      {"hidden", hidden, false},
      {"hidden zeros", hiddenZeros, false},
      {"trailing", trailing, false},
      {"bad padding", badPadding, false},
      {"revision 1", revision1, false},
      {"not PKCS#7", notPkcs7, false},
      {"entry longer than the table", tooLong, false},
      {"entry shorter than its header", tooShort, false},
      {"not a SEQUENCE", notSequence, false},
      {"indefinite length", indefinite, false},
      {"SEQUENCE past its entry", derTooLong, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.wellFormed, IsWellFormedCertificateTable(c.table.data(), c.table.size())) << c.name;
    std::vector<std::uint8_t> image = Stamped();
    Sign(image, c.table);
    EXPECT_EQ(c.wellFormed ? StampCheck::kIntact : StampCheck::kDistorted, Check(image)) << c.name;
  }
  EXPECT_FALSE(IsWellFormedCertificateTable(one.data(), 0));
}

// The unauthenticated attributes, which no digest covers: what signing tools
// write there passes, anything else is bytes hidden in the signature.
TEST(IntegrityTest, SignatureHoldsOnlyWhatSigningToolsWrite) {
  const Bytes clean = Signature(40);
  const Bytes timestamp = Attribute(kTimestamp, Tlv(0x30, Bytes(20, 0x11)));
  const Bytes counter = Attribute(kCounterSignature, Tlv(0x30, Bytes(20, 0x22)));
  const Bytes blob = Attribute(kUnknown, Tlv(0x04, Bytes(16, 0x33)));
  Bytes otherType = clean;
  otherType[6] ^= 0x01;  // a byte of the signed-data OID
  const struct {
    const char* name;
    Bytes signature;
    bool wellFormed;
  } cases[] = {
      {"no attributes", clean, true},
      {"RFC 3161 timestamp", Signature(40, timestamp), true},
      {"countersignature and timestamp", Signature(40, counter + timestamp), true},
      {"nested signature", Signature(40, Attribute(kNested, Signature(8, timestamp))), true},
      {"unknown attribute", Signature(40, blob), false},
      {"unknown after a timestamp", Signature(40, timestamp + blob), false},
      {"unknown in a nested signature", Signature(40, Attribute(kNested, Signature(8, blob))),
       false},
      {"nested three deep",
       Signature(8, Attribute(kNested, Signature(8, Attribute(kNested, Signature(
                                                      8, Attribute(kNested, Signature(8))))))),
       false},
      {"attribute without values", Signature(40, Tlv(0x30, Tlv(0x06, kTimestamp))), false},
      {"a field after the attributes", Signature(40, timestamp, Tlv(0x04, {1})), false},
      {"bytes after the signed data", Tlv(0x30, Bytes(clean.begin() + 2, clean.end()) +
                                                    Tlv(0x04, {1})),
       false},
      {"not signed data", otherType, false},
  };
  for (const auto& c : cases) {
    const Bytes table = Entry(c.signature);
    EXPECT_EQ(c.wellFormed, IsWellFormedCertificateTable(table.data(), table.size())) << c.name;
  }
}

// What WinVerifyTrust said, and whose certificate signed: only the signer
// the stamp names passes, and only over a signature that verified.
TEST(IntegrityTest, SignatureAcceptedOnlyFromTheStampedSigner) {
  Digest ours, theirs;
  ours.fill(0x11);
  theirs.fill(0x22);
  const std::int32_t kBadDigest = static_cast<std::int32_t>(0x80096010);     // TRUST_E_BAD_DIGEST
  const std::int32_t kNoSignature = static_cast<std::int32_t>(0x800B0100);   // TRUST_E_NOSIGNATURE
  const std::int32_t kCertSignature = static_cast<std::int32_t>(0x80096004); // TRUST_E_CERT_SIGNATURE
  // The signer certificate valid from 100 to 200; timestamps at 50, 150, 250.
  const struct {
    std::int32_t status;
    const Digest& signer;
    const Digest& stamped;
    bool timestamped;
    std::uint64_t timestampTime;
    bool accepted;
  } cases[] = {
      {0, ours, ours, false, 0, true},
      {kTrustUntrustedRoot, ours, ours, false, 0, true},
      {kTrustChaining, ours, ours, false, 0, true},
      {0, theirs, ours, false, 0, false},                    // a foreign signature, even a trusted one
      {kTrustUntrustedRoot, theirs, ours, false, 0, false},  // somebody's own certificate
      {0, kNoSigner, kNoSigner, false, 0, false},            // the stamp names nobody
      {kTrustUntrustedRoot, ours, kNoSigner, false, 0, false},
      {kBadDigest, ours, ours, true, 150, false},
      {kNoSignature, ours, ours, false, 0, false},
      {kCertSignature, ours, ours, true, 150, false},
      {kTrustExpired, ours, ours, false, 0, false},    // no timestamp: the expiry stands
      {kTrustExpired, ours, ours, true, 150, true},    // made while the certificate was valid
      {kTrustExpired, ours, ours, true, 250, false},   // timestamped after the expiry
      {kTrustExpired, ours, ours, true, 50, false},    // ... or before the certificate
      {kTrustExpired, ours, ours, false, 150, false},  // a time, but no timestamp that verified
      {kTrustExpired, theirs, ours, true, 150, false},
  };
  for (const auto& c : cases) {
    SignatureFacts facts;
    facts.trustStatus = c.status;
    facts.signerCertificate = c.signer;
    facts.timestamped = c.timestamped;
    facts.timestampTime = c.timestampTime;
    facts.validFrom = 100;
    facts.validUntil = 200;
    EXPECT_EQ(c.accepted, SignatureAccepted(facts, c.stamped))
        << std::hex << c.status << " " << int(c.signer[0]) << " " << int(c.stamped[0]) << " "
        << std::dec << c.timestampTime;
  }
}

TEST(IntegrityTest, AnythingBesideTheSetupUnderItsRedirectingNamesRefuses) {
  const struct {
    std::uint32_t error;
    bool planted;
  } cases[] = {{0, true}, {2, false}, {3, false}, {5, true}, {32, true}, {123, true}};
  for (const auto& c : cases) EXPECT_EQ(c.planted, RedirectionPlanted(c.error)) << c.error;
}

// The same image as a 64-bit program (PE32+): a 240-byte optional header
// whose data directories begin at 112.
TEST(IntegrityTest, SixtyFourBitImageLeavesOutItsOwnCertificateEntry) {
  const std::size_t sections = kOptional + 240, certEntry = kOptional + 112 + 32;
  std::vector<std::uint8_t> image = MakeImage();
  std::fill(image.begin() + kOptional, image.begin() + kText, 0);
  Put16(image, kPe + 20, 240);
  Put16(image, kOptional, 0x20B);
  Put32(image, kOptional + 108, 16);
  const char* names[] = {".text", kStampSectionName};
  const std::size_t raw[] = {kText, kStamp};
  for (int i = 0; i < 2; ++i) {
    std::memcpy(&image[sections + 40 * i], names[i], std::strlen(names[i]));
    Put32(image, sections + 40 * i + 16, 0x200);
    Put32(image, sections + 40 * i + 20, raw[i]);
  }
  ImageLayout layout;
  ASSERT_TRUE(ParseImageLayout(image.data(), image.size(), &layout));
  EXPECT_EQ(kChecksum, layout.checksumOffset);
  EXPECT_EQ(certEntry, layout.certEntryOffset);
  EXPECT_EQ(kStamp, layout.stampOffset);

  std::string error;
  ASSERT_TRUE(StampImage(image.data(), image.size(), Sha256, kNoSigner, &error)) << error;
  ASSERT_EQ(StampCheck::kIntact, Check(image));
  // Where a 32-bit image has its certificate entry, this one has covered
  // bytes (its heap sizes).
  std::vector<std::uint8_t> changed = image;
  changed[kCertEntry] ^= 0x01;
  EXPECT_EQ(StampCheck::kDistorted, Check(changed));

  std::vector<std::uint8_t> signedImage = image;
  Sign(signedImage, Certificate(54), certEntry);
  EXPECT_EQ(StampCheck::kIntact, Check(signedImage));

  // Neither format's magic, or a header too short for the certificate entry.
  std::vector<std::uint8_t> other = image;
  Put16(other, kOptional, 0x107);
  EXPECT_EQ(StampCheck::kDistorted, Check(other));
  std::vector<std::uint8_t> shortHeader = image;
  Put16(shortHeader, kPe + 20, 144);
  EXPECT_FALSE(ParseImageLayout(shortHeader.data(), shortHeader.size(), &layout));
}

TEST(IntegrityTest, SignedImageWithPaddingToEightBytes) {
  std::vector<std::uint8_t> image = MakeImage();
  image.resize(kImageSize + 3, 0x5A);  // stamped length not a multiple of 8
  std::string error;
  ASSERT_TRUE(StampImage(image.data(), image.size(), Sha256, kNoSigner, &error));
  std::vector<std::uint8_t> signedImage = image;
  Sign(signedImage);
  EXPECT_EQ(kImageSize + 8 + 64, signedImage.size());
  EXPECT_EQ(StampCheck::kIntact, Check(signedImage));
  // The padding must be zeros.
  signedImage[kImageSize + 4] = 1;
  EXPECT_EQ(StampCheck::kDistorted, Check(signedImage));
}

TEST(IntegrityTest, UnstampedSignedTwiceOrNotAnImageIsRefused) {
  EXPECT_EQ(StampCheck::kDistorted, Check(MakeImage()));

  std::vector<std::uint8_t> signedImage = MakeImage();
  Sign(signedImage);
  std::string error;
  EXPECT_FALSE(StampImage(signedImage.data(), signedImage.size(), Sha256, kNoSigner, &error));
  EXPECT_NE(std::string::npos, error.find("signed"));

  std::vector<std::uint8_t> noMagic = MakeImage();
  noMagic[kStamp] = 'v';
  EXPECT_FALSE(StampImage(noMagic.data(), noMagic.size(), Sha256, kNoSigner, &error));
  EXPECT_EQ(StampCheck::kDistorted, Check(noMagic));

  for (std::size_t size : {std::size_t(0), std::size_t(2), std::size_t(63), kPe + 4, kSections}) {
    std::vector<std::uint8_t> cut = Stamped();
    cut.resize(size);
    EXPECT_EQ(StampCheck::kDistorted, Check(cut)) << size;
  }
  std::vector<std::uint8_t> badOffset = Stamped();
  Put32(badOffset, 60, 0xFFFFFFF0);
  EXPECT_EQ(StampCheck::kDistorted, Check(badOffset));
  std::vector<std::uint8_t> manySections = Stamped();
  Put16(manySections, kPe + 6, 0xFFFF);
  EXPECT_EQ(StampCheck::kDistorted, Check(manySections));
}

}  // namespace

namespace {

TEST(IntegrityTest, FileCheckReadsInPiecesAndReportsAFailedRead) {
  // A stamped image of a few chunks, so that the digest is fed chunk by chunk.
  std::vector<std::uint8_t> image = MakeImage();
  image.resize(300 * 1024 + 5, 0x5A);
  for (std::size_t i = kImageSize; i < image.size(); i += 997) image[i] = static_cast<std::uint8_t>(i);
  std::string error;
  ASSERT_TRUE(StampImage(image.data(), image.size(), Sha256, kNoSigner, &error)) << error;
  EXPECT_EQ(Check(image), StampCheck::kIntact);
  image[200 * 1024] ^= 1;
  EXPECT_EQ(Check(image), StampCheck::kDistorted);
  image[200 * 1024] ^= 1;

  // A file that stops being readable part-way cannot be judged.
  for (std::size_t failAt : {std::size_t{0}, std::size_t{kStamp}, std::size_t{128 * 1024}}) {
    std::size_t reads = 0;
    StampedSignature signature;
    const StampCheck check = CheckFileStamp(
        image.size(),
        [&](std::size_t offset, std::size_t count, std::uint8_t* out) {
          ++reads;
          if (offset <= failAt && failAt < offset + count) return false;
          std::memcpy(out, image.data() + offset, count);
          return true;
        },
        &signature);
    EXPECT_EQ(check, StampCheck::kHashFailed) << failAt;
    EXPECT_GE(reads, 1u);
  }
}

// The running program compares the file's stamp with its own: a file
// replaced on disk after the start is distorted even when it is a whole,
// stamped setup by itself (another build, another package).
TEST(IntegrityTest, FileWhoseStampIsNotTheRunningProgramsIsDistorted) {
  const std::vector<std::uint8_t> running = Stamped();
  std::vector<std::uint8_t> other = MakeImage();
  other[kText + 5] ^= 0x10;
  std::string error;
  ASSERT_TRUE(StampImage(other.data(), other.size(), Sha256, kNoSigner, &error)) << error;
  ASSERT_EQ(Check(other), StampCheck::kIntact);

  auto checkAgainst = [](const std::vector<std::uint8_t>& file, const std::uint8_t* stamp) {
    StampedSignature signature;
    return CheckFileStamp(
        file.size(),
        [&file](std::size_t offset, std::size_t count, std::uint8_t* out) {
          std::memcpy(out, file.data() + offset, count);
          return true;
        },
        &signature, stamp);
  };
  EXPECT_EQ(checkAgainst(running, &running[kStamp]), StampCheck::kIntact);
  EXPECT_EQ(checkAgainst(other, &running[kStamp]), StampCheck::kDistorted);
  EXPECT_EQ(checkAgainst(other, &other[kStamp]), StampCheck::kIntact);
}

}  // namespace

}  // namespace vespodar
