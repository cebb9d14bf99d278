#ifndef VESPODAR_SETUP_PRODUCT_WIN_H_
#define VESPODAR_SETUP_PRODUCT_WIN_H_

#include <string>

#include "setup/product.h"

namespace vespodar {

// The handshake with the installed product: its single-instance marker (a
// named file mapping it holds while it runs) and its main window's class.

// True when no running product holds the marker.
bool ProductNotRunning();
// Posts WM_QUIT to the product's main window, when it has one, and waits until
// its marker is gone (about 10 seconds at most): a product still running holds
// its data file open. True when the product is gone.
bool CloseRunningProduct(const std::string& mainWindowClass);
// Starts installDir + executable with installDir as its working directory,
// never with more rights than the user has (ChooseLaunchRoute).
LaunchOutcome StartProduct(const std::string& installDir, const std::string& executable);
// Starts the product, waits for its marker and then its main window, and
// brings that window to the front. A product started in another session is
// not waited for: its marker and window are out of the setup's sight.
LaunchOutcome StartProductAndWait(const std::string& installDir, const std::string& executable,
                         const std::string& mainWindowClass);

}  // namespace vespodar

#endif  // VESPODAR_SETUP_PRODUCT_WIN_H_
