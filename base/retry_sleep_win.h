#ifndef VESPODAR_BASE_RETRY_SLEEP_WIN_H_
#define VESPODAR_BASE_RETRY_SLEEP_WIN_H_

// The pause between two tries of a wait on another program (a product told to
// quit, a file that a scanner holds). Such waits are bounded in seconds; a
// test of what happens at the bound must not take those seconds, so it puts a
// hook in place of the pause.

#include <windows.h>

namespace vespodar {

// Sleep(ms), or the test's hook when one is set.
void RetrySleep(DWORD ms);

// Called instead of Sleep with the pause's milliseconds and the context the
// hook was set with.
using RetrySleepHook = void (*)(DWORD ms, void* context);

// For tests only: every later RetrySleep calls hook (nullptr: sleeps again).
// Returns the hook it replaces.
RetrySleepHook SetRetrySleepHookForTesting(RetrySleepHook hook, void* context);

}  // namespace vespodar

#endif  // VESPODAR_BASE_RETRY_SLEEP_WIN_H_
