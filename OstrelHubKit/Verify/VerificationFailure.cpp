#include "Verify/VerificationFailure.h"

namespace ostrel {

VerificationFailure::VerificationFailure(Kind kind, Payload payload)
    : Error(describe(kind, payload)), kind_(kind), payload_(std::move(payload)) {}

VerificationFailure VerificationFailure::unsigned_(std::string name) {
    return VerificationFailure(Kind::unsigned_, {std::move(name)});
}

VerificationFailure VerificationFailure::invalidSignature(std::string name, std::string detail) {
    return VerificationFailure(Kind::invalidSignature, {std::move(name), std::move(detail)});
}

VerificationFailure VerificationFailure::wrongPublisher(std::string name, std::optional<std::string> team) {
    return VerificationFailure(Kind::wrongPublisher, {std::move(name), {}, std::move(team)});
}

VerificationFailure VerificationFailure::notNotarized(std::string name) {
    return VerificationFailure(Kind::notNotarized, {std::move(name)});
}

std::string VerificationFailure::describe(Kind kind, const Payload& p) {
    switch (kind) {
    case Kind::unsigned_:
        return p.name + " is not code signed. Install blocked.";
    case Kind::invalidSignature:
        return p.name + " failed signature validation (" + p.detail + "). It may have been modified. Install blocked.";
    case Kind::wrongPublisher:
        if (p.team)
            return p.name + " is signed by team " + *p.team + ", which is not Ostrel. Install blocked.";
        return p.name + " is ad-hoc signed, without an Ostrel Developer ID. Install blocked.";
    case Kind::notNotarized:
        return p.name + " is signed by Ostrel but has not been notarized by Apple. Install blocked.";
    }
    return p.name + " failed signature validation. Install blocked.";
}

} // namespace ostrel
