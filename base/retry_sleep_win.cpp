#include "base/retry_sleep_win.h"

#include <utility>

namespace vespodar {

namespace {

RetrySleepHook sleepHook = nullptr;
void* sleepHookContext = nullptr;

}  // namespace

void RetrySleep(DWORD ms) {
  if (sleepHook)
    sleepHook(ms, sleepHookContext);
  else
    Sleep(ms);
}

RetrySleepHook SetRetrySleepHookForTesting(RetrySleepHook hook, void* context) {
  sleepHookContext = context;
  return std::exchange(sleepHook, hook);
}

}  // namespace vespodar
