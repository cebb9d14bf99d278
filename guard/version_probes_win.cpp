#include "guard/version_probes_win.h"

#include <windows.h>

#include <shellapi.h>
#include <winver.h>

#include <vector>

#include "base/paths.h"
#include "base/plain_file_win.h"
#include "guard/version_probes.h"
#include "base/scoped_handle_win.h"
#include "base/system_dll_win.h"
#include "base/win_text.h"
#include "ui/lang_unit_win.h"

namespace vespodar {

namespace {

std::int32_t ReadDataFileVersion(const std::string& path, const VersionField& field) {
  const std::wstring widePath = Widen(ExtendedLengthPath(path));
  // A link planted at the installed file's name is not read through: it has
  // no version (0) and is replaced as a file.
  if (!IsPlainFile(widePath)) return 0;
  ScopedHandle file(OpenForReadingNoFollow(widePath, 0));
  if (!file.valid()) return 0;
  if (SetFilePointer(file.handle, static_cast<LONG>(field.offset), nullptr, FILE_BEGIN) ==
          INVALID_SET_FILE_POINTER &&
      GetLastError() != NO_ERROR)
    return 0;
  char bytes[4] = {};
  DWORD read = 0;
  if (!ReadFile(file.handle, bytes, static_cast<DWORD>(field.width), &read, nullptr)) return 0;
  return DecodeVersionField(field, std::string(bytes, read));
}

}  // namespace

std::int32_t ReadPakVersion(const std::string& path) {
  return ReadDataFileVersion(path, kPakVersionField);
}

std::int32_t ReadCokVersion(const std::string& path) {
  return ReadDataFileVersion(path, kCokVersionField);
}

std::int32_t Read3bsVersion(const std::string& path) {
  return ReadDataFileVersion(path, k3bsVersionField);
}

std::int32_t ReadLngVersion(LangFileErrors& errors, const std::string& path) {
  if (!IsPlainFile(Widen(ExtendedLengthPath(path)))) return 0;
  std::string bytes;
  std::optional<std::int32_t> version;
  if (ReadTextFileBytes(path, &bytes)) version = LngVersionFromText(bytes);
  if (version) return *version;
  errors.ShowLangFileError(path);
  return 0;
}

namespace {

// The version API, from version.dll in the system directory. The setup runs
// elevated from wherever it was downloaded to, and version.dll is not one of
// the DLLs Windows always takes from its own directory: imported by name, the
// loader would look for it beside the setup first, before the entry can
// narrow the search, so a version.dll planted in a Downloads folder would run
// with administrator rights. Loaded by its full path after start-up, it can
// only be the system's own.
struct VersionApi {
  typedef DWORD(WINAPI* SizeFunction)(LPCWSTR, LPDWORD);
  typedef BOOL(WINAPI* InfoFunction)(LPCWSTR, DWORD, DWORD, LPVOID);
  typedef BOOL(WINAPI* QueryFunction)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
  SizeFunction getSize = nullptr;
  InfoFunction getInfo = nullptr;
  QueryFunction query = nullptr;
};

// Loaded once and kept for the life of the process; null members when the
// system has no version.dll.
const VersionApi& SystemVersionApi() {
  static const VersionApi api = [] {
    VersionApi found;
    const HMODULE module = LoadSystemDll(L"version.dll");
    found.getSize = FindFunction<VersionApi::SizeFunction>(module, "GetFileVersionInfoSizeW");
    found.getInfo = FindFunction<VersionApi::InfoFunction>(module, "GetFileVersionInfoW");
    found.query = FindFunction<VersionApi::QueryFunction>(module, "VerQueryValueW");
    return found;
  }();
  return api;
}

}  // namespace

std::string ReadExeFileVersion(const std::string& path) {
  const std::wstring widePath = Widen(path);
  if (!IsPlainFile(widePath)) return std::string();
  SHFILEINFOW info = {};
  if (Shell32().SHGetFileInfoW(widePath.c_str(), 0, &info, sizeof(info), SHGFI_EXETYPE) == 0)
    return std::string();
  const VersionApi& api = SystemVersionApi();
  if (!api.getSize || !api.getInfo || !api.query) return std::string();
  DWORD ignored = 0;
  const DWORD size = api.getSize(widePath.c_str(), &ignored);
  if (size == 0) return std::string();
  std::vector<BYTE> block(size);
  if (!api.getInfo(widePath.c_str(), 0, size, block.data())) return std::string();

  void* translation = nullptr;
  UINT translationBytes = 0;
  if (!api.query(block.data(), L"\\VarFileInfo\\Translation", &translation,
                 &translationBytes) ||
      translation == nullptr || translationBytes < 2 * sizeof(WORD))
    return std::string();
  const WORD* entry = static_cast<const WORD*>(translation);

  void* text = nullptr;
  UINT textLength = 0;
  if (!api.query(block.data(), Widen(FileVersionQuery(entry[0], entry[1])).c_str(), &text,
                 &textLength) ||
      text == nullptr)
    return std::string();
  // The length counts characters, with or without the terminator: take the
  // text up to its terminator, never past the block.
  const wchar_t* characters = static_cast<const wchar_t*>(text);
  std::size_t length = 0;
  while (length < textLength && characters[length] != L'\0') ++length;
  return Narrow(characters, length);
}

}  // namespace vespodar
