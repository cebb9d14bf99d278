#include "base/registry_win.h"

#include <windows.h>

#include <utility>
#include <vector>

#include "base/scoped_handle_win.h"
#include "base/win_text.h"

namespace vespodar {

namespace {

class Win32Registry : public RegistryAccessor {
 public:
  explicit Win32Registry(REGSAM accessMask) : accessMask_(accessMask) {}

  void SetRoot(RegistryRoot root) override {
    if (root == root_) return;
    CloseKey();
    root_ = root;
  }

  bool OpenKey(const std::string& path, bool create) override {
    const std::string fullPath = ResolveKeyPath(openPath_, path);
    const std::wstring widePath = Widen(fullPath);
    HKEY base = root_ == RegistryRoot::kLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    RegKey key;
    const LONG result = create ? key.Create(base, widePath.c_str(), accessMask_)
                               : key.Open(base, widePath.c_str(), accessMask_);
    if (result != ERROR_SUCCESS) {
      lastOpenError_ = static_cast<std::uint32_t>(result);
      return false;
    }
    key_ = std::move(key);
    openPath_ = fullPath;
    return true;
  }

  bool ValueExists(const std::string& name) override {
    if (!key_.valid()) return false;
    return RegQueryValueExW(key_.get(), Widen(name).c_str(), nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
  }

  bool ReadText(const std::string& name, std::string* text, std::uint32_t* windowsError) override {
    text->clear();
    if (!key_.valid()) return true;
    const std::wstring wideName = Widen(name);
    // The value may change between the size query and the read: loop until the
    // buffer was big enough.
    for (int attempt = 0; attempt < 4; ++attempt) {
      DWORD type = 0;
      DWORD size = 0;
      if (RegQueryValueExW(key_.get(), wideName.c_str(), nullptr, &type, nullptr, &size) !=
              ERROR_SUCCESS ||
          size == 0)
        return true;
      if (type != REG_SZ && type != REG_EXPAND_SZ) return NotAText(windowsError);
      std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
      DWORD bufferSize = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
      const LONG result = RegQueryValueExW(key_.get(), wideName.c_str(), nullptr, &type,
                                           reinterpret_cast<BYTE*>(buffer.data()), &bufferSize);
      if (result == ERROR_MORE_DATA) continue;
      if (result != ERROR_SUCCESS) {
        *windowsError = static_cast<std::uint32_t>(result);
        return false;
      }
      if (type != REG_SZ && type != REG_EXPAND_SZ) return NotAText(windowsError);
      // A stored text need not be terminated; the buffer's spare zeros end it.
      std::size_t length = 0;
      const std::size_t limit = bufferSize / sizeof(wchar_t);
      while (length < limit && buffer[length] != L'\0') ++length;
      *text = Narrow(buffer.data(), length);
      return true;
    }
    // A value that keeps changing under us is as untrustworthy as a wrong type.
    *windowsError = ERROR_MORE_DATA;
    return false;
  }

  bool WriteInteger(const std::string& name, std::int32_t value,
                    std::uint32_t* windowsError) override {
    const DWORD data = static_cast<DWORD>(value);
    if (!key_.valid()) {
      *windowsError = lastOpenError_;
      return false;
    }
    const LONG result = RegSetValueExW(key_.get(), Widen(name).c_str(), 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&data), sizeof(data));
    *windowsError = static_cast<std::uint32_t>(result);
    return result == ERROR_SUCCESS;
  }

  bool WriteText(const std::string& name, const std::string& text,
                 std::uint32_t* windowsError) override {
    if (!key_.valid()) {
      *windowsError = lastOpenError_;
      return false;
    }
    const std::wstring data = Widen(text);
    const LONG result =
        RegSetValueExW(key_.get(), Widen(name).c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    *windowsError = static_cast<std::uint32_t>(result);
    return result == ERROR_SUCCESS;
  }

  std::uint32_t LastOpenError() const override { return lastOpenError_; }

  void CloseKey() override {
    key_.Close();
    openPath_.clear();
  }

 private:
  static bool NotAText(std::uint32_t* windowsError) {
    *windowsError = 0;
    return false;
  }

  REGSAM accessMask_;
  RegistryRoot root_ = RegistryRoot::kCurrentUser;
  RegKey key_;
  std::string openPath_;
  std::uint32_t lastOpenError_ = 0;
};

}  // namespace

std::unique_ptr<RegistryAccessor> CreateRegistryAccessor(unsigned long accessMask) {
  return std::unique_ptr<RegistryAccessor>(new Win32Registry(accessMask));
}

}  // namespace vespodar
