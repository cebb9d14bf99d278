#ifndef VESPODAR_UI_MESSAGES_WIN_H_
#define VESPODAR_UI_MESSAGES_WIN_H_

#include "ui/messages.h"

namespace vespodar {

// Shows a box through the wide API: MessageBoxW, or MessageBoxExW when the box
// carries a language (which decides the button labels). No owner window.
int ShowMessageBoxWin(const MessageBoxSpec& box);

}  // namespace vespodar

#endif  // VESPODAR_UI_MESSAGES_WIN_H_
