#pragma once

#include <functional>
#include <string>

namespace ostrel::test {

// The sentence the action was refused with, or "(nothing thrown)". `E` is the
// error type expected; any other escapes and fails the test.
template <typename E>
std::string refusalOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const E& e) {
        return e.what();
    }
    return "(nothing thrown)";
}

} // namespace ostrel::test
