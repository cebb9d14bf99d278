#ifndef VESPODAR_SETUP_PRODUCT_H_
#define VESPODAR_SETUP_PRODUCT_H_

namespace vespodar {

// How the product is started after the update.
enum class LaunchRoute {
  // ShellExecute from the setup's own process.
  kDirect,
  // Asked of the desktop's shell (Explorer), so the product runs as the
  // desktop's user and not with the setup's elevated rights: a product started
  // elevated takes no drag and drop from Explorer and writes files the user
  // cannot change afterwards.
  kThroughDesktopShell,
};

// majorVersion is the running Windows' major version; user account control
// exists from 6 (Vista) on. elevated is the setup's token elevation.
LaunchRoute ChooseLaunchRoute(unsigned majorVersion, bool elevated);

}  // namespace vespodar

#endif  // VESPODAR_SETUP_PRODUCT_H_
