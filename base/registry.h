#ifndef VESPODAR_BASE_REGISTRY_H_
#define VESPODAR_BASE_REGISTRY_H_

#include <cstdint>
#include <string>
#include <utility>

namespace vespodar {

enum class RegistryRoot { kCurrentUser, kLocalMachine };

// What an open of a key that does not exist fails with.
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorPathNotFound = 3;

// The one registry accessor of the process: a root key, at most one open key,
// and the few operations the setup needs. Every open asks for full access (and
// the 64-bit view on 64-bit Windows); the rights test rests on that. Texts are
// UTF-8; the Win32 implementation converts at the wide API.
class RegistryAccessor {
 public:
  virtual ~RegistryAccessor() = default;

  // Makes root the base of later opens; a change of root closes the open key.
  virtual void SetRoot(RegistryRoot root) = 0;
  // Opens (or with create, creates) a key. A path with a leading backslash is
  // relative to the root, one without relative to the open key (the root when
  // none is open). On success the new key replaces the open one; on failure
  // nothing changes.
  virtual bool OpenKey(const std::string& path, bool create) = 0;
  // True when the open key has a value of that name; false with no open key.
  virtual bool ValueExists(const std::string& name) = 0;
  // The value as text, up to its first NUL; empty when it is missing or empty.
  // False for a value the setup cannot trust: one that is not REG_SZ or
  // REG_EXPAND_SZ (windowsError 0) or cannot be read (the Windows error).
  virtual bool ReadText(const std::string& name, std::string* text,
                        std::uint32_t* windowsError) = 0;
  // Writes a REG_DWORD into the open key; false with the Windows error when it
  // cannot (with no key open: the error of the open that failed).
  virtual bool WriteInteger(const std::string& name, std::int32_t value,
                            std::uint32_t* windowsError) = 0;
  // The same for a REG_SZ.
  virtual bool WriteText(const std::string& name, const std::string& text,
                         std::uint32_t* windowsError) = 0;
  // Closes the open key, if any.
  virtual void CloseKey() = 0;
  // The Windows error of the last OpenKey that failed: ERROR_FILE_NOT_FOUND
  // for a key that does not exist, ERROR_ACCESS_DENIED for one that exists
  // but refuses full access.
  virtual std::uint32_t LastOpenError() const = 0;
};

// The accessor's key for one scope: set root and open (or create) the key on
// construction, close it on destruction, whichever way the scope is left.
class ScopedOpenKey {
 public:
  ScopedOpenKey(RegistryAccessor& registry, RegistryRoot root, const std::string& path,
                bool create)
      : registry_(registry) {
    registry_.SetRoot(root);
    opened_ = registry_.OpenKey(path, create);
  }
  ScopedOpenKey(const ScopedOpenKey&) = delete;
  ScopedOpenKey& operator=(const ScopedOpenKey&) = delete;
  ~ScopedOpenKey() { registry_.CloseKey(); }

  bool opened() const { return opened_; }
  // Whether the key is missing, as opposed to there and refusing the open.
  bool missing() const {
    return !opened_ && (registry_.LastOpenError() == kErrorFileNotFound ||
                        registry_.LastOpenError() == kErrorPathNotFound);
  }

 private:
  RegistryAccessor& registry_;
  bool opened_ = false;
};

// The full path of the key that OpenKey(path) names, from the root, given the
// path of the key open now (empty when none is). No leading or trailing
// backslash in the result.
std::string ResolveKeyPath(const std::string& openKeyPath, const std::string& path);

}  // namespace vespodar

#endif  // VESPODAR_BASE_REGISTRY_H_
