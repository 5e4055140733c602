#pragma once

#include <functional>
#include <string_view>

namespace ostrel {

// Called just before each change the install engine makes on disk, with a
// short name of the step. Empty in the product; crash tests end the process
// here to prove that every step leaves a state recovery can put right.
using Checkpoint = std::function<void(std::string_view step)>;

inline void reach(const Checkpoint& checkpoint, std::string_view step) {
    if (checkpoint)
        checkpoint(step);
}

} // namespace ostrel
