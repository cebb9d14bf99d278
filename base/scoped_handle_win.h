#ifndef VESPODAR_BASE_SCOPED_HANDLE_WIN_H_
#define VESPODAR_BASE_SCOPED_HANDLE_WIN_H_

// Owners of what Windows hands out: each closes its handle when it goes out
// of scope, can be moved but not copied, so that every handle has exactly one
// owner and no path out of a function forgets one.

#include <windows.h>

#include <utility>

namespace vespodar {

// A kernel handle (file, process, thread, mapping, token, pipe). Windows has
// two "no handle" values: null from most calls, INVALID_HANDLE_VALUE from
// CreateFile; both count as empty.
struct ScopedHandle {
  HANDLE handle = INVALID_HANDLE_VALUE;

  ScopedHandle() = default;
  explicit ScopedHandle(HANDLE opened) : handle(opened) {}
  ScopedHandle(ScopedHandle&& other) noexcept : handle(other.Release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) {
      Close();
      handle = other.Release();
    }
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ~ScopedHandle() { Close(); }

  bool valid() const { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

  // Closes now; false when CloseHandle fails (for a file just written, the
  // last chance to hear of an error).
  bool Close() {
    const bool ok = !valid() || CloseHandle(handle) != 0;
    handle = INVALID_HANDLE_VALUE;
    return ok;
  }

  // Gives the handle up without closing it.
  HANDLE Release() { return std::exchange(handle, INVALID_HANDLE_VALUE); }
};

// An open registry key: the one key type of the program.
class RegKey {
 public:
  RegKey() = default;
  explicit RegKey(HKEY opened) : key_(opened) {}
  RegKey(RegKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
  RegKey& operator=(RegKey&& other) noexcept {
    if (this != &other) {
      Close();
      key_ = std::exchange(other.key_, nullptr);
    }
    return *this;
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey() { Close(); }

  // Opens path under root; on failure the key stays as it was and the
  // Windows error is returned.
  LONG Open(HKEY root, const wchar_t* path, REGSAM access) {
    HKEY opened = nullptr;
    const LONG result = RegOpenKeyExW(root, path, 0, access, &opened);
    if (result == ERROR_SUCCESS) *this = RegKey(opened);
    return result;
  }
  // Creates or opens path under root (non-volatile), the same way.
  LONG Create(HKEY root, const wchar_t* path, REGSAM access) {
    HKEY opened = nullptr;
    const LONG result = RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                        nullptr, &opened, nullptr);
    if (result == ERROR_SUCCESS) *this = RegKey(opened);
    return result;
  }

  HKEY get() const { return key_; }
  bool valid() const { return key_ != nullptr; }
  // Closes without flushing: the registry writes its data lazily.
  void Close() {
    if (key_) RegCloseKey(key_);
    key_ = nullptr;
  }

 private:
  HKEY key_ = nullptr;
};

// A directory listing begun with FindFirstFile(Ex).
class ScopedFind {
 public:
  explicit ScopedFind(HANDLE find) : find_(find) {}
  ScopedFind(const ScopedFind&) = delete;
  ScopedFind& operator=(const ScopedFind&) = delete;
  ~ScopedFind() {
    if (valid()) FindClose(find_);
  }
  bool valid() const { return find_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return find_; }

 private:
  HANDLE find_;
};

}  // namespace vespodar

#endif  // VESPODAR_BASE_SCOPED_HANDLE_WIN_H_
