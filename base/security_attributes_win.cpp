#include "base/security_attributes_win.h"

#include <sddl.h>

#include "base/system_dll_win.h"

namespace vespodar {

ScopedSecurityAttributes::ScopedSecurityAttributes(const wchar_t* sddl) {
  attributes_.nLength = sizeof(attributes_);
  attributes_.bInheritHandle = FALSE;
  // Looked up, not imported: advapi32 is loaded already, and the long name
  // costs the import table more than the lookup costs the code.
  typedef BOOL(WINAPI * ConvertFunction)(LPCWSTR, DWORD, PSECURITY_DESCRIPTOR*, PULONG);
  const ConvertFunction convert = FindFunction<ConvertFunction>(
      GetModuleHandleW(L"advapi32.dll"), "ConvertStringSecurityDescriptorToSecurityDescriptorW");
  if (convert && convert(sddl, SDDL_REVISION_1, &descriptor_, nullptr))
    attributes_.lpSecurityDescriptor = descriptor_;
  else
    descriptor_ = nullptr;
}

ScopedSecurityAttributes::~ScopedSecurityAttributes() {
  if (descriptor_) LocalFree(descriptor_);
}

}  // namespace vespodar
