#ifndef VESPODAR_BASE_REGISTRY_WIN_H_
#define VESPODAR_BASE_REGISTRY_WIN_H_

#include <memory>

#include "base/registry.h"

namespace vespodar {

// The registry accessor over the wide Win32 registry API. accessMask is asked
// for on every open: KEY_ALL_ACCESS, with KEY_WOW64_64KEY on 64-bit Windows.
std::unique_ptr<RegistryAccessor> CreateRegistryAccessor(unsigned long accessMask);

constexpr unsigned long kAllAccessMask = 0xF003F;       // KEY_ALL_ACCESS
constexpr unsigned long kAllAccess64Mask = 0xF013F;     // KEY_ALL_ACCESS | KEY_WOW64_64KEY

}  // namespace vespodar

#endif  // VESPODAR_BASE_REGISTRY_WIN_H_
