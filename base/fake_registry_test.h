#ifndef VESPODAR_BASE_FAKE_REGISTRY_TEST_H_
#define VESPODAR_BASE_FAKE_REGISTRY_TEST_H_

// An in-memory registry for the tests of the code that reads and writes it:
// keys by root and path (letter case ignored, as Windows does), text and
// non-text values, keys that refuse to open, and a log of what was written.

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "base/registry.h"

namespace vespodar {

class FakeRegistry : public RegistryAccessor {
 public:
  // The Windows error of a write that fails (ERROR_ACCESS_DENIED).
  static constexpr std::uint32_t kWriteError = 5;
  struct Value {
    bool text = true;
    std::string data;
  };
  using KeyName = std::pair<RegistryRoot, std::string>;

  // Test set-up.
  void AddText(RegistryRoot root, const std::string& key, const std::string& name,
               const std::string& data) {
    keys_[Name(root, key)][name] = Value{true, data};
  }
  void AddNonText(RegistryRoot root, const std::string& key, const std::string& name) {
    keys_[Name(root, key)][name] = Value{false, std::string()};
  }
  void AddKey(RegistryRoot root, const std::string& key) { keys_[Name(root, key)]; }
  void Deny(RegistryRoot root, const std::string& key) { denied_.insert(Name(root, key)); }
  void FailWrites() { failWrites_ = true; }

  // Inspection.
  bool HasKey(RegistryRoot root, const std::string& key) const {
    return keys_.count(Name(root, key)) != 0;
  }
  const std::map<std::string, std::int32_t>& Integers(RegistryRoot root,
                                                       const std::string& key) {
    return integers_[Name(root, key)];
  }
  // A text value; nullptr when there is none.
  const std::string* Text(RegistryRoot root, const std::string& key, const std::string& name) {
    auto values = keys_.find(Name(root, key));
    if (values == keys_.end()) return nullptr;
    auto found = values->second.find(name);
    return found == values->second.end() || !found->second.text ? nullptr : &found->second.data;
  }
  bool KeyOpen() const { return open_; }
  int opens = 0;

  // RegistryAccessor.
  void SetRoot(RegistryRoot root) override {
    if (root != root_) CloseKey();
    root_ = root;
  }
  bool OpenKey(const std::string& path, bool create) override {
    ++opens;
    const std::string full = ResolveKeyPath(open_ ? openPath_ : std::string(), path);
    const KeyName name = Name(root_, full);
    if (denied_.count(name)) {
      lastOpenError_ = kWriteError;
      return false;
    }
    if (!keys_.count(name)) {
      lastOpenError_ = kErrorFileNotFound;
      if (!create) return false;
      keys_[name];
    }
    open_ = true;
    openPath_ = full;
    return true;
  }
  std::uint32_t LastOpenError() const override { return lastOpenError_; }
  bool ValueExists(const std::string& name) override { return Find(name) != nullptr; }
  bool ReadText(const std::string& name, std::string* text, std::uint32_t* windowsError) override {
    text->clear();
    const Value* value = Find(name);
    if (!value) return true;
    if (!value->text) {
      *windowsError = 0;
      return false;
    }
    *text = value->data.substr(0, value->data.find('\0'));
    return true;
  }
  bool WriteInteger(const std::string& name, std::int32_t value,
                    std::uint32_t* windowsError) override {
    if (!open_ || failWrites_) {
      *windowsError = kWriteError;
      return false;
    }
    integers_[Name(root_, openPath_)][name] = value;
    return true;
  }
  bool WriteText(const std::string& name, const std::string& text,
                 std::uint32_t* windowsError) override {
    if (!open_ || failWrites_) {
      *windowsError = kWriteError;
      return false;
    }
    keys_[Name(root_, openPath_)][name] = Value{true, text};
    return true;
  }
  void CloseKey() override {
    open_ = false;
    openPath_.clear();
  }

 private:
  static KeyName Name(RegistryRoot root, const std::string& path) {
    std::string lower = ResolveKeyPath(std::string(), path);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    return {root, lower};
  }
  const Value* Find(const std::string& name) {
    if (!open_) return nullptr;
    auto key = keys_.find(Name(root_, openPath_));
    if (key == keys_.end()) return nullptr;
    auto value = key->second.find(name);
    return value == key->second.end() ? nullptr : &value->second;
  }

  std::map<KeyName, std::map<std::string, Value>> keys_;
  std::map<KeyName, std::map<std::string, std::int32_t>> integers_;
  std::set<KeyName> denied_;
  RegistryRoot root_ = RegistryRoot::kCurrentUser;
  bool open_ = false;
  bool failWrites_ = false;
  std::string openPath_;
  std::uint32_t lastOpenError_ = 0;
};

}  // namespace vespodar

#endif  // VESPODAR_BASE_FAKE_REGISTRY_TEST_H_
