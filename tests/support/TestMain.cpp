// The main of every test program of the Kit and the tools: the home is isolated before any test
// runs and removed at exit.
#include "HomeIsolation.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    auto home = ostrel::test::isolateHome();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
