#pragma once

#include <stdexcept>
#include <string>

namespace ostrel::signature {

// Why a code signature was refused. The detail is a short phrase that reads
// well inside the user's sentence ("... failed signature validation (detail)").
// The verifier turns it into a VerificationFailure with the bundle's name.
class SignatureFailure : public std::runtime_error {
public:
    enum class Kind {
        notSigned, // no signature at all
        invalid,   // a signature that is damaged, altered or not trusted
    };

    static SignatureFailure notSigned() { return SignatureFailure(Kind::notSigned, "not code signed"); }
    static SignatureFailure invalid(std::string detail) { return SignatureFailure(Kind::invalid, std::move(detail)); }

    Kind kind() const { return kind_; }
    const std::string& detail() const { return detail_; }

    bool operator==(const SignatureFailure& other) const { return kind_ == other.kind_ && detail_ == other.detail_; }

private:
    SignatureFailure(Kind kind, std::string detail)
        : std::runtime_error(detail), kind_(kind), detail_(std::move(detail)) {}

    Kind kind_;
    std::string detail_;
};

} // namespace ostrel::signature
