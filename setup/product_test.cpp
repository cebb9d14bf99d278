#include "setup/product.h"

#include <gtest/gtest.h>

namespace vespodar {

namespace {

// The product never gets more rights than its user: elevated under user
// account control it goes through the desktop shell (and nowhere else when
// that fails), as SYSTEM into the console user's session.
TEST(LaunchRouteTest, NeverWithMoreRightsThanTheUser) {
  struct Case {
    unsigned major;
    bool elevated, system;
    LaunchRoute route;
  } cases[] = {
      {6, true, false, LaunchRoute::kThroughDesktopShell},
      {10, true, false, LaunchRoute::kThroughDesktopShell},
      // Not elevated (user account control off, or rights given otherwise):
      // the product already runs as the user.
      {6, false, false, LaunchRoute::kDirect},
      // XP and 2003 have no user account control.
      {5, true, false, LaunchRoute::kDirect},
      {5, false, false, LaunchRoute::kDirect},
      // SYSTEM, elevated or not, on any Windows: the console user's session.
      {5, false, true, LaunchRoute::kAsConsoleUser},
      {10, true, true, LaunchRoute::kAsConsoleUser},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.route, ChooseLaunchRoute(c.major, c.elevated, c.system))
        << c.major << c.elevated << c.system;
}

}  // namespace

}  // namespace vespodar
