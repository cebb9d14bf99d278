#ifndef VESPODAR_BASE_SECURITY_ATTRIBUTES_WIN_H_
#define VESPODAR_BASE_SECURITY_ATTRIBUTES_WIN_H_

#include <windows.h>

namespace vespodar {

// Security attributes of an object the setup creates, not inheritable, from
// a security descriptor in SDDL; with no descriptor (Windows' default one)
// when the text cannot be converted.
class ScopedSecurityAttributes {
 public:
  explicit ScopedSecurityAttributes(const wchar_t* sddl);
  ScopedSecurityAttributes(const ScopedSecurityAttributes&) = delete;
  ScopedSecurityAttributes& operator=(const ScopedSecurityAttributes&) = delete;
  ~ScopedSecurityAttributes();
  SECURITY_ATTRIBUTES* get() { return &attributes_; }
  bool converted() const { return descriptor_ != nullptr; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_ = {};
};

}  // namespace vespodar

#endif  // VESPODAR_BASE_SECURITY_ATTRIBUTES_WIN_H_
