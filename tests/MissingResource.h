// A test that needs something from the machine (an X server, Xvfb, Ardour's
// scanner, third-party plug-ins) skips without it on a developer machine.
// Where the suite runs for real (./scripts/test sets ZRV4_REQUIRE_RESOURCES=1,
// CI sets CI=true) a skip would pass unseen, so the test fails instead.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace test_resources
{
inline bool required()
{
    const char* ci = std::getenv("CI");
    const char* require = std::getenv("ZRV4_REQUIRE_RESOURCES");
    return (ci != nullptr && std::strcmp(ci, "true") == 0) || (require != nullptr && std::strcmp(require, "1") == 0);
}
} // namespace test_resources

// Ends the test (or its SetUp): a skip, or a failure where resources are required.
#define SKIP_OR_FAIL_WITHOUT(what)                                                                                 \
    do                                                                                                             \
    {                                                                                                              \
        if (test_resources::required())                                                                            \
        {                                                                                                          \
            GTEST_FAIL() << "missing: " << what;                                                                   \
        }                                                                                                          \
        else                                                                                                       \
        {                                                                                                          \
            GTEST_SKIP() << "missing: " << what;                                                                   \
        }                                                                                                          \
    } while (false)
