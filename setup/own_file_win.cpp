#include "setup/own_file_win.h"

#include <windows.h>

#include <softpub.h>
#include <wintrust.h>

#include <vector>

#include "base/sha256.h"
#include "base/system_dll_win.h"
#include "install/package_source_win.h"
#include "setup/integrity.h"

namespace vespodar {

// The stamp block, in a section of its own so that the stamping tool finds it
// from the section table. The build writes the digest into the file after
// linking; an executable that was never stamped keeps these zeros and fails
// the check.
extern "C" __attribute__((section(".vdstamp"), used))
const unsigned char vespodarIntegrityStamp[kStampSize] = {
    'V', 'e', 's', 'p', 'o', 'd', 'a', 'r', 'S', 't', 'a', 'm', 'p', 0, 0, 1};

namespace {

// One WinVerifyTrust verification, run when it is made. Windows keeps its
// state for the reads of the signer until the same call closes it, which the
// destructor does, whatever the verification found.
class TrustVerification {
 public:
  explicit TrustVerification(WINTRUST_DATA& data) : data_(data) {
    data_.dwStateAction = WTD_STATEACTION_VERIFY;
    status_ = Trust().WinVerifyTrust(NoUser(), &action_, &data_);
  }
  TrustVerification(const TrustVerification&) = delete;
  TrustVerification& operator=(const TrustVerification&) = delete;
  ~TrustVerification() {
    data_.dwStateAction = WTD_STATEACTION_CLOSE;
    Trust().WinVerifyTrust(NoUser(), &action_, &data_);
  }
  LONG status() const { return status_; }
  HANDLE state() const { return data_.hWVTStateData; }

 private:
  static HWND NoUser() { return static_cast<HWND>(INVALID_HANDLE_VALUE); }

  WINTRUST_DATA& data_;
  GUID action_ = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  LONG status_;
};

std::uint64_t FileTimeValue(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Whether the own file's Authenticode signature verifies and was made with
// the signer certificate that its stamp names. Nothing is fetched from the
// network: no revocation check, no download of missing certificates.
bool OwnSignatureAccepted(HANDLE file, const Digest& stampedSigner) {
  std::uint32_t pathError = 0;
  const std::wstring path = OwnFilePath(&pathError);
  if (path.empty()) return false;
  const TrustFunctions& trust = Trust();
  WINTRUST_FILE_INFO fileInfo = {};
  fileInfo.cbStruct = sizeof(fileInfo);
  fileInfo.pcwszFilePath = path.c_str();
  fileInfo.hFile = file;  // the file checked so far, not whatever the name holds now
  WINTRUST_DATA data = {};
  data.cbStruct = sizeof(data);
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &fileInfo;
  data.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
  const TrustVerification verification(data);
  SignatureFacts facts;
  facts.trustStatus = verification.status();
  CRYPT_PROVIDER_DATA* provider = trust.WTHelperProvDataFromStateData(verification.state());
  CRYPT_PROVIDER_SGNR* signerInfo =
      provider ? trust.WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
  CRYPT_PROVIDER_CERT* certificate =
      signerInfo ? trust.WTHelperGetProvCertFromChain(signerInfo, 0) : nullptr;
  if (certificate && certificate->pCert) {
    Sha256State state;
    Sha256Init(&state);
    Sha256Update(&state, certificate->pCert->pbCertEncoded, certificate->pCert->cbCertEncoded);
    facts.signerCertificate = Sha256Final(&state);
    facts.validFrom = FileTimeValue(certificate->pCert->pCertInfo->NotBefore);
    facts.validUntil = FileTimeValue(certificate->pCert->pCertInfo->NotAfter);
    // A countersigner that verified is a timestamp; the signer was then
    // judged as of its time.
    facts.timestamped = signerInfo->csCounterSigners > 0 && signerInfo->pasCounterSigners &&
                        signerInfo->pasCounterSigners[0].dwError == 0;
    facts.timestampTime = FileTimeValue(signerInfo->sftVerifyAsOf);
  }
  return SignatureAccepted(facts, stampedSigner);
}

bool RedirectionBeside() {
  std::uint32_t pathError = 0;
  const std::wstring path = OwnFilePath(&pathError);
  if (path.empty()) return true;
  for (const wchar_t* suffix : {L".manifest", L".local"}) {
    const DWORD attributes = GetFileAttributesW((path + suffix).c_str());
    if (RedirectionPlanted(attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : 0))
      return true;
  }
  return false;
}

}  // namespace

OwnFileCheck CheckOwnFile() {
  if (RedirectionBeside()) return {OwnFileState::kDistorted, 0};

  // The stamp as the loader mapped it from the file at the start. The
  // compiler knows only the zeros above, so it must not see where the
  // pointer comes from, or it would compare with those.
  const unsigned char* running = vespodarIntegrityStamp;
  asm("" : "+r"(running));

  std::uint32_t openError = 0;
  const HANDLE file = OwnFile(&openError);
  if (!file) return {OwnFileState::kUnreadable, openError};
  DWORD high = 0;
  const DWORD size = GetFileSize(file, &high);
  if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
    return {OwnFileState::kUnreadable, GetLastError()};
  if (high != 0) return {OwnFileState::kUnreadable, ERROR_FILE_TOO_LARGE};
  if (size == 0) return {OwnFileState::kDistorted, 0};

  // Read a piece at a time rather than mapped whole: the setup's file is
  // mostly its package, and a mapped copy would add its size to the
  // process's memory beside the loaded image.
  DWORD readError = 0;
  StampedSignature signature;
  const StampCheck check = CheckFileStamp(
      size,
      [&readError](std::size_t offset, std::size_t count, std::uint8_t* out) {
        if (ReadOwnFile(offset, count, out)) return true;
        readError = GetLastError();
        return false;
      },
      &signature, running);
  switch (check) {
    case StampCheck::kIntact:
      if (signature.isSigned && !OwnSignatureAccepted(file, signature.signer)) break;
      return {OwnFileState::kIntact, 0};
    case StampCheck::kHashFailed:
      return {OwnFileState::kUnreadable, readError};
    case StampCheck::kDistorted:
      break;
  }
  return {OwnFileState::kDistorted, 0};
}

}  // namespace vespodar
