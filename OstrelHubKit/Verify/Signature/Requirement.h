#pragma once

#include "Verify/Signature/ByteReader.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ostrel::signature {

// A code requirement as an expression tree. The text form codesign writes
// and the binary form stored in signatures both read into this one tree, so
// one evaluator serves the policy's requirement and nested code's designated
// requirements alike.
struct Requirement {
    enum class Op {
        never,
        always,
        identifier,         // value: the signing identifier
        anchorApple,        // the chain ends in Apple Root CA itself
        anchorAppleGeneric, // the chain ends in one of the trusted anchors
        anchorTrusted,      // a user trust setting; never holds here
        certificateHash,    // certificate `slot` has SHA-1 `value`
        certificateField,   // certificate `slot`, `key` "subject.OU" etc.
        certificateGeneric, // certificate `slot` extension `key` (dotted OID)
        cdhash,             // value: 20-byte cdhash
        notarized,
        allOf, // and
        anyOf, // or
        negation,
    };
    enum class Match {
        exists,
        equal,
        contains,
        beginsWith,
        endsWith,
        lessThan,
        greaterThan,
        lessEqual,
        greaterEqual,
        absent
    };

    Op op = Op::never;
    int32_t slot = 0; // certificate index: 0 leaf, 1 its issuer, ..., -1 the anchor
    std::string key{};
    Match match = Match::exists;
    std::string value{};
    std::vector<Requirement> operands{};

    bool operator==(const Requirement&) const = default;
};

// Nesting deeper than this is refused, in text and binary form alike.
constexpr int maxRequirementDepth = 64;

// Reads the text form. Throws SignatureFailure::invalid("bad requirement").
Requirement parseRequirement(const std::string& text);

// Reads one binary requirement blob (0xFADE0C00). Throws SignatureFailure::invalid.
Requirement decodeRequirement(std::span<const uint8_t> blob);
// The designated requirement (type 3) of a requirement set blob (0xFADE0C01),
// if the set has one.
std::optional<Requirement> decodeDesignatedRequirement(std::span<const uint8_t> set);

// The binary forms, as a signer writes them.
Bytes encodeRequirement(const Requirement& requirement);
Bytes encodeRequirementSet(const Requirement& designated);

} // namespace ostrel::signature
