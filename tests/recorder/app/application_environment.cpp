// The window tests' QApplication exists before any test object: fixtures hold timers, which need
// it from their construction on. Set up by RUN_ALL_TESTS, after the test main has prepared the
// environment (offscreen platform, temporary folders).

#include "recorder_test_support.h"

#include <gtest/gtest.h>

namespace {

class ApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override { wavelark::testing::ensureApplication(); }
};

const ::testing::Environment* const g_applicationEnvironment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

}
