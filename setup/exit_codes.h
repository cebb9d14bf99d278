#ifndef VESPODAR_SETUP_EXIT_CODES_H_
#define VESPODAR_SETUP_EXIT_CODES_H_

namespace vespodar {

// Every code the setup ends with; the rows, what each means and the words the
// log gives it are in setup/exit_codes.def.
enum ExitCode : int {
#define VESPODAR_EXIT_CODE(enumerator, value, logText) enumerator = value,
#include "setup/exit_codes.def"
#undef VESPODAR_EXIT_CODE
};

}  // namespace vespodar

#endif  // VESPODAR_SETUP_EXIT_CODES_H_
