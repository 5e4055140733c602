#pragma once

#include "Verify/Signature/LinkContainment.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {

// One way a bundle's files differ from its resource seal. `path` is relative to
// the bundle root ("Contents/Resources/x.png").
struct SealIssue {
    enum class Kind {
        added,           // a file or link not in the seal
        missing,         // a sealed, non-optional entry is gone
        modified,        // a sealed file's bytes changed
        kindChanged,     // a sealed file became a link or folder, or the other way round
        linkChanged,     // a sealed link's target text changed
        linkOutside,     // a link leads out of the bundle
        linkAbsolute,    // a link has an absolute target
        unsupportedKind, // a FIFO, device or socket
    };
    Kind kind;
    std::string path;

    bool operator==(const SealIssue&) const = default;
    // The detail read inside "X failed signature validation (DETAIL)".
    std::string detail() const;
    // What a link at `path` that resolves as `where` is wrong with; absent when it stays inside.
    static std::optional<SealIssue> forLink(LinkContainment where, std::string path);
};

// Nested code found in the bundle (a framework, helper or plug-in, or a Mach-O
// file under a nested rule), for the caller to verify on its own against `requirement`.
struct NestedCode {
    std::string path;               // relative to the bundle root
    std::filesystem::path location; // on disk
    std::vector<uint8_t> cdhash;    // as sealed; informative only
    std::string requirement;        // the sealed designated requirement text

    bool operator==(const NestedCode&) const = default;
};

// The outcome of checking a bundle's files against its resource seal.
struct SealReport {
    std::vector<SealIssue> issues;
    std::vector<NestedCode> nested;
    std::vector<std::string> optionalMissing; // sealed optional entries that are gone (allowed)

    bool operator==(const SealReport&) const = default;
    bool intact() const { return issues.empty(); }
    std::optional<std::string> firstDetail() const;
};

} // namespace ostrel
