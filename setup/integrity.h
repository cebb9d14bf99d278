#ifndef VESPODAR_SETUP_INTEGRITY_H_
#define VESPODAR_SETUP_INTEGRITY_H_

// The integrity stamp of the setup's own executable.
//
// After linking, the build writes a SHA-256 digest of the executable into a
// block of its own section (".vdstamp"). The digest covers the whole file
// except what Authenticode leaves out of its own digest (the PE checksum, the
// certificate table's directory entry, the certificate table) and except the
// stamp block itself. So signing the setup afterwards keeps it intact, and any
// other change, including bytes appended after the end, does not: an unsigned
// setup's certificate entry must be zero (and its stamp may name no signer),
// and a signed one's table must hold one well-formed signature and nothing
// else.
//
// The digest is no secret: anyone can compute it again for a changed file.
// It catches damage and infection. Who published the setup only its
// Authenticode signature can say; the stamp names the product team's signer
// certificate (its SHA-256) so that the setup can tell that signature from
// any other one.
//
// This file holds that rule, once, for the stamping tool and for the check
// in the setup alike. The hash itself is OpenSSL's on the build machine and
// the setup's own (sha256.h) in the setup: two implementations that must agree.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/file_pieces.h"
#include "base/function_ref.h"
#include "base/sha256.h"

namespace vespodar {

constexpr char kStampSectionName[] = ".vdstamp";
// The block's first bytes; the rest is the stamped length, the state, the
// digest and the signer's certificate digest.
constexpr unsigned char kStampMagic[16] = {'V', 'e', 's', 'p', 'o', 'd', 'a', 'r',
                                           'S', 't', 'a', 'm', 'p', 0, 0, 1};
// magic, length (4), state (4), digest (32), signer (32)
constexpr std::size_t kStampSize = 88;
constexpr std::size_t kStampSignerOffset = 56;
constexpr std::uint32_t kStampStateStamped = 1;

// An incremental SHA-256: Update with each covered range, in order, then the
// digest. Returns false when the platform's hash failed.
using HashRanges = std::function<bool(const std::vector<std::pair<const std::uint8_t*, std::size_t>>&,
                                      Digest* digest)>;

struct ByteRange {
  std::size_t offset;
  std::size_t size;
};

// What the PE headers say about the fields that the digest leaves out.
struct ImageLayout {
  std::size_t checksumOffset = 0;    // 4 bytes
  std::size_t certEntryOffset = 0;   // 8 bytes: the certificate table's directory entry
  std::size_t certTableOffset = 0;   // 0 when unsigned
  std::size_t certTableSize = 0;
  std::size_t stampOffset = 0;       // the stamp block inside the stamp section
};

// Reads the layout from a PE32 or PE32+ image; false when it is none, or has no stamp
// section that begins with the magic.
bool ParseImageLayout(const std::uint8_t* image, std::size_t size, ImageLayout* layout);

// The ranges of [0, length) that the digest covers, in file order.
std::vector<ByteRange> CoveredRanges(const ImageLayout& layout, std::size_t length);

// kHashFailed: the check could not be made (the hash or a read failed).
enum class StampCheck { kIntact, kDistorted, kHashFailed };

// Whether TABLE is an Authenticode certificate table as Windows reads it
// with its padding check on, and hides nothing: exactly one WIN_CERTIFICATE
// (revision 2.0, PKCS#7 signed data) whose signature is one DER ContentInfo
// of signed data ending exactly where the entry's own length says, padded to
// 8 bytes with zeros, nothing after it; within the signature, each signer's
// unauthenticated attributes (which no digest covers) hold only
// countersignatures, RFC 3161 timestamps and nested signatures, looked into
// the same way.
bool IsWellFormedCertificateTable(const std::uint8_t* table, std::size_t size);

// What a signed setup's own signature check is given: the signer
// certificate's digest that the stamp names (all zeros when none).
struct StampedSignature {
  bool isSigned = false;
  Digest signer = {};
};

// WinVerifyTrust's answers that concern only the chain of a signature whose
// digest and signature verified: no trusted root (a certificate of the
// product team's own) and a chain that cannot be built; and a signer
// certificate whose validity has ended.
constexpr std::int32_t kTrustUntrustedRoot = static_cast<std::int32_t>(0x800B0109);
constexpr std::int32_t kTrustChaining = static_cast<std::int32_t>(0x800B010A);
constexpr std::int32_t kTrustExpired = static_cast<std::int32_t>(0x800B0101);

// What Windows found of a signature. Times are FILETIME values.
struct SignatureFacts {
  std::int32_t trustStatus = 0;
  Digest signerCertificate = {};  // SHA-256 of the signer certificate
  bool timestamped = false;       // a timestamp that verified
  std::uint64_t timestampTime = 0;
  std::uint64_t validFrom = 0;    // the signer certificate's validity
  std::uint64_t validUntil = 0;
};

// Whether a signed setup passes: its signature verified (TRUST_STATUS 0, or
// a chain problem alone; or its certificate has expired since, and a
// verified timestamp within the certificate's validity says it was made
// before) and it was made with the signer certificate that the stamp names.
// Any other signature is foreign; a bad digest or signature never passes.
bool SignatureAccepted(const SignatureFacts& facts, const Digest& stampedSigner);

// Checks a stamped image: its stamp, its size against the stamped length (an
// unsigned file must end there, a signed one may only add the 8-byte padding
// and the certificate table at its end), and the digest.
StampCheck CheckImageStamp(const std::uint8_t* image, std::size_t size, const HashRanges& hash);

// CheckImageStamp on a file of SIZE bytes that is read piece by piece, with
// SHA-256 (sha256.h): only its headers, its stamp block, its certificate
// table and one piece (kFilePieceBytes) of it are held at a time.
// kHashFailed when a read failed. On kIntact, *signature says whether the
// file is signed and by whom the stamp says it must be (the signature itself
// is the caller's to verify).
// With RUNNING_STAMP (the stamp block of the program that checks itself, as
// it was loaded), a file whose stamp block differs from it is distorted, even
// when it is intact by itself: the file on disk is then not the one that
// runs (it was replaced after the start), and the package that the write
// would take from it is not the one that was checked for this program.
StampCheck CheckFileStamp(std::size_t size, const ReadBytes& read, StampedSignature* signature,
                          const std::uint8_t* runningStamp = nullptr);

// Whether a file or folder found beside the setup under its own name with
// ".manifest" or ".local" appended is there, given the error of looking it
// up (0: found). XP takes such a manifest over the embedded one, and with a
// private assembly it sends by-name DLL loads to that folder; ".local"
// redirects them on every version. What would run is then not what was
// built. A lookup that cannot say (access denied, say) counts as found.
bool RedirectionPlanted(std::uint32_t lookupError);

// Writes the stamp into an unsigned image in place, naming SIGNER (the SHA-256
// of the certificate it will be signed with; zeros when it will not be).
// False with a reason when the image cannot be stamped.
bool StampImage(std::uint8_t* image, std::size_t size, const HashRanges& hash,
                const Digest& signer, std::string* error);

}  // namespace vespodar

#endif  // VESPODAR_SETUP_INTEGRITY_H_
