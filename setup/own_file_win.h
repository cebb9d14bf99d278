#ifndef VESPODAR_SETUP_OWN_FILE_WIN_H_
#define VESPODAR_SETUP_OWN_FILE_WIN_H_

#include "setup/update_flow.h"

// Whether the setup's own executable can be read and is intact.
OwnFileState CheckOwnFile();

#endif  // VESPODAR_SETUP_OWN_FILE_WIN_H_
