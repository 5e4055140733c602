#pragma once

#include "Verify/Signature/ResourceRules.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ostrel {

// One entry of a resource seal's "files2" (or legacy "files") dictionary.
struct SealedResource {
    enum class Kind { file, symlink, nestedCode };
    Kind kind = Kind::file;
    std::optional<std::vector<uint8_t>> sha1;   // "hash" (or a bare legacy <data>)
    std::optional<std::vector<uint8_t>> sha256; // "hash2"
    bool optional = false;
    std::string symlinkTarget;   // symlink: the exact target text
    std::vector<uint8_t> cdhash; // nested code
    std::string requirement;     // nested code: the designated requirement as text

    bool operator==(const SealedResource&) const = default;
};

// Contents/_CodeSignature/CodeResources: which resources of a bundle were
// sealed and by which rules. Uses files2/rules2 when present (what codesign has
// written for years); the legacy files/rules pair is read only when files2 is absent.
class CodeResources {
public:
    std::map<std::string, SealedResource> files;
    ResourceRules rules;
    bool legacy = false; // only the old files/rules pair was present

    // Parse only bytes whose digest already matched the CodeDirectory's resource
    // slot: the rules are regular expressions run against every path.
    // Throws SignatureDefect with a precise detail ("<shownAs> is not a readable
    // property list", "... has no sealed file list", "the seal of <key> is malformed").
    static CodeResources parse(std::span<const uint8_t> bytes, const std::string& shownAs);
};

} // namespace ostrel
