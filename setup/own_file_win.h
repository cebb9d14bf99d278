#ifndef VESPODAR_SETUP_OWN_FILE_WIN_H_
#define VESPODAR_SETUP_OWN_FILE_WIN_H_

#include "setup/update_flow.h"

namespace vespodar {

// Whether the setup's own executable can be read and is intact.
OwnFileCheck CheckOwnFile();

}  // namespace vespodar

#endif  // VESPODAR_SETUP_OWN_FILE_WIN_H_
