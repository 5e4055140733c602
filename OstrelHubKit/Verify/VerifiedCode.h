#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {

// What a successful check says about a bundle.
struct VerifiedCode {
    // The cdhash of one architecture of the code that was checked: the
    // 20-byte hash of its strongest CodeDirectory, as tickets and
    // requirements name it.
    struct Cdhash {
        std::string architecture; // "arm64", "x86_64"...; empty for a codeless bundle
        std::vector<uint8_t> hash;
        bool operator==(const Cdhash&) const = default;
    };

    std::string path;
    std::string identifier; // the signature's identifier, else the bundle's file name
    std::string teamID;     // the signature's team, else the policy's
    std::optional<std::string> version{};
    bool notarized = false;
    // Taken from the very bytes that were checked, in file order, so nobody
    // needs to read the code again (and perhaps read other bytes) to show them.
    std::vector<Cdhash> cdhashes{};

    bool operator==(const VerifiedCode&) const = default;
};

} // namespace ostrel
