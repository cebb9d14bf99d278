#ifndef VESPODAR_INSTALL_VERSION_GUARD_WIN_H_
#define VESPODAR_INSTALL_VERSION_GUARD_WIN_H_

#include <cstdint>
#include <string>

#include "install/version_guard.h"

class MessageShower;
struct SetupContext;

// The guarded write of package bytes over an existing target of a known kind,
// on real files: the temporary file beside the target, the Win32 probes, the
// process's language support files, the progress window. Boxes, the question
// included, go through shower. Shows no install error itself: the caller
// does on kFailed.
GuardResult WriteGuarded(const SetupContext& context, MessageShower& shower, const void* data,
                         std::uint32_t size, GuardedKind kind, const std::string& target);

#endif  // VESPODAR_INSTALL_VERSION_GUARD_WIN_H_
