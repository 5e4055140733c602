#pragma once

#include "Util/Error.h"

#include <optional>
#include <string>

namespace ostrel {

// Why downloaded code was refused, as the sentence the user reads. The
// bundle name is the last path component of what was checked.
class VerificationFailure : public Error {
public:
    enum class Kind {
        unsigned_, // "unsigned" is a C++ keyword
        invalidSignature,
        wrongPublisher,
        notNotarized,
    };

    struct Payload {
        std::string name{};
        std::string detail{};              // invalidSignature
        std::optional<std::string> team{}; // wrongPublisher; absent for ad-hoc code
        bool operator==(const Payload&) const = default;
    };

    static VerificationFailure unsigned_(std::string name);
    static VerificationFailure invalidSignature(std::string name, std::string detail);
    static VerificationFailure wrongPublisher(std::string name, std::optional<std::string> team);
    static VerificationFailure notNotarized(std::string name);

    Kind kind() const { return kind_; }
    const Payload& payload() const { return payload_; }

    bool operator==(const VerificationFailure& other) const {
        return kind_ == other.kind_ && payload_ == other.payload_;
    }

private:
    VerificationFailure(Kind kind, Payload payload);
    static std::string describe(Kind kind, const Payload& payload);

    Kind kind_;
    Payload payload_;
};

} // namespace ostrel
