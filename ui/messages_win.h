#ifndef VESPODAR_UI_MESSAGES_WIN_H_
#define VESPODAR_UI_MESSAGES_WIN_H_

#include "ui/messages.h"

namespace vespodar {

// Shows a box through the wide API: MessageBoxW, or MessageBoxExW when the box
// carries a language (which decides the button labels). No owner window.
int ShowMessageBoxWin(const MessageBoxSpec& box);

// False when the process's window station is not visible (a service, SYSTEM
// in session 0): a box there waits for an answer that never comes. True when
// Windows cannot tell.
bool WindowStationVisible();

}  // namespace vespodar

#endif  // VESPODAR_UI_MESSAGES_WIN_H_
