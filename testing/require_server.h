// For tests against servers they start themselves (slapd, aiosmtpd, cupsd).
#pragma once

#include <cstdlib>

// In a GoogleTest body: skips the test when `server` is not running, except on
// CI, where scripts/setup installs the server and one that does not run fails.
#define REQUIRE_SERVER(server)                             \
  do {                                                     \
    if (!(server).running()) {                             \
      if (std::getenv("CI")) FAIL() << (server).failure(); \
      GTEST_SKIP() << (server).failure();                  \
    }                                                      \
  } while (false)
