#include "setup/own_file_win.h"

#include <windows.h>

#include <softpub.h>
#include <wintrust.h>

#include <vector>

#include "base/scoped_handle_win.h"
#include "base/sha256.h"
#include "base/system_dll_win.h"
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

// The file read at an offset; false unless every byte came.
bool ReadAt(HANDLE file, std::size_t offset, std::size_t count, std::uint8_t* out) {
  while (count > 0) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    DWORD got = 0;
    if (!ReadFile(file, out, static_cast<DWORD>(count), &got, &at) || got == 0) return false;
    offset += got;
    out += got;
    count -= got;
  }
  return true;
}

// Whether the own file's Authenticode signature verifies and was made with
// the signer certificate that its stamp names. Nothing is fetched from the
// network: no revocation check, no download of missing certificates.
bool OwnSignatureAccepted(const wchar_t* path, HANDLE file, const Digest& stampedSigner) {
  const TrustFunctions& trust = Trust();
  WINTRUST_FILE_INFO fileInfo = {};
  fileInfo.cbStruct = sizeof(fileInfo);
  fileInfo.pcwszFilePath = path;
  fileInfo.hFile = file;  // the file checked so far, not whatever the name holds now
  WINTRUST_DATA data = {};
  data.cbStruct = sizeof(data);
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &fileInfo;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  data.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const HWND noUser = static_cast<HWND>(INVALID_HANDLE_VALUE);
  const LONG status = trust.WinVerifyTrust(noUser, &action, &data);
  Digest signer = {};
  CRYPT_PROVIDER_DATA* provider = trust.WTHelperProvDataFromStateData(data.hWVTStateData);
  CRYPT_PROVIDER_SGNR* signerInfo =
      provider ? trust.WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
  CRYPT_PROVIDER_CERT* certificate =
      signerInfo ? trust.WTHelperGetProvCertFromChain(signerInfo, 0) : nullptr;
  if (certificate && certificate->pCert) {
    Sha256State state;
    Sha256Init(&state);
    Sha256Update(&state, certificate->pCert->pbCertEncoded, certificate->pCert->cbCertEncoded);
    signer = Sha256Final(&state);
  }
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  trust.WinVerifyTrust(noUser, &action, &data);
  return SignatureAccepted(status, signer, stampedSigner);
}

}  // namespace

OwnFileCheck CheckOwnFile() {
  // Keeps the stamp section in the link: nothing else refers to it.
  static_cast<void>(*static_cast<const volatile unsigned char*>(vespodarIntegrityStamp));

  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {OwnFileState::kUnreadable, GetLastError()};
    if (length < path.size()) break;
    if (path.size() >= 32768) return {OwnFileState::kUnreadable, ERROR_FILENAME_EXCED_RANGE};
    path.resize(path.size() * 2);
  }
  ScopedHandle own(CreateFileW(path.data(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!own.valid()) return {OwnFileState::kUnreadable, GetLastError()};
  DWORD high = 0;
  const DWORD size = GetFileSize(own.handle, &high);
  if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
    return {OwnFileState::kUnreadable, GetLastError()};
  if (high != 0) return {OwnFileState::kUnreadable, ERROR_FILE_TOO_LARGE};
  if (size == 0) return {OwnFileState::kDistorted, 0};

  // Read a piece at a time rather than mapped whole: the setup's file is
  // mostly its package, and a mapped copy would add its size to the
  // process's memory beside the loaded image.
  const HANDLE file = own.handle;
  DWORD readError = 0;
  StampedSignature signature;
  const StampCheck check = CheckFileStamp(
      size,
      [file, &readError](std::size_t offset, std::size_t count, std::uint8_t* out) {
        if (ReadAt(file, offset, count, out)) return true;
        readError = GetLastError();
        return false;
      },
      &signature);
  switch (check) {
    case StampCheck::kIntact:
      if (signature.isSigned && !OwnSignatureAccepted(path.data(), file, signature.signer)) break;
      return {OwnFileState::kIntact, 0};
    case StampCheck::kHashFailed:
      return {OwnFileState::kUnreadable, readError};
    case StampCheck::kDistorted:
      break;
  }
  return {OwnFileState::kDistorted, 0};
}

}  // namespace vespodar
