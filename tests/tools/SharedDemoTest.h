#pragma once

#include "RunningDemo.h"

#include <memory>

#include <gtest/gtest.h>

namespace ostrel::demo {

// A suite whose tests share one demo store: starting it (its authority, its signed releases) is
// the slow part. Each suite, the template's argument, has a store of its own.
template <class Suite>
struct SharedDemoTest : ::testing::Test {
    static inline std::unique_ptr<RunningDemo> running;
    static void SetUpTestSuite() { running = std::make_unique<RunningDemo>(); }
    static void TearDownTestSuite() { running.reset(); }

    RunningDemo& demo = *running;
};

} // namespace ostrel::demo
