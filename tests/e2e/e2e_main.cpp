// The end-to-end test binary: every test shares one Wine prefix, made before the
// first test and removed from service after the last.
#include <gtest/gtest.h>

#include "tests/e2e/wine_harness.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new zev::e2e::WineEnvironment);
    return RUN_ALL_TESTS();
}
