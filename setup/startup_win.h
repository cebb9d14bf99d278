#ifndef VESPODAR_SETUP_STARTUP_WIN_H_
#define VESPODAR_SETUP_STARTUP_WIN_H_

namespace vespodar {

struct SetupContext;

// Fills the start-up fields: the generator's seed, the UI language, the 64-bit
// flag, the registry accessor with the matching view, the arguments.
void InitStartupEnvironment(SetupContext& context);
// Frees what start-up created.
void ReleaseStartupEnvironment(SetupContext& context);

}  // namespace vespodar

#endif  // VESPODAR_SETUP_STARTUP_WIN_H_
