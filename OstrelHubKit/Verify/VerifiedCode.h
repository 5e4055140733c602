#pragma once

#include <optional>
#include <string>

namespace ostrel {

// What a successful check says about a bundle.
struct VerifiedCode {
    std::string path;
    std::string identifier; // the signature's identifier, else the bundle's file name
    std::string teamID;     // the signature's team, else the policy's
    std::optional<std::string> version{};
    bool notarized = false;

    bool operator==(const VerifiedCode&) const = default;
};

} // namespace ostrel
