#include "setup/product.h"

#include <gtest/gtest.h>

namespace vespodar {

namespace {

TEST(LaunchRouteTest, DesktopShellOnlyForAnElevatedSetupUnderUserAccountControl) {
  EXPECT_EQ(LaunchRoute::kThroughDesktopShell, ChooseLaunchRoute(6, true));
  EXPECT_EQ(LaunchRoute::kThroughDesktopShell, ChooseLaunchRoute(10, true));
  // Vista and later, not elevated (user account control off, or a standard
  // user who was given rights otherwise): the product already runs as the user.
  EXPECT_EQ(LaunchRoute::kDirect, ChooseLaunchRoute(6, false));
  // XP and 2003 have no user account control.
  EXPECT_EQ(LaunchRoute::kDirect, ChooseLaunchRoute(5, true));
  EXPECT_EQ(LaunchRoute::kDirect, ChooseLaunchRoute(5, false));
}

}  // namespace

}  // namespace vespodar
