#pragma once

#include <stdexcept>
#include <string>

namespace ostrel {

// A signature component that is malformed, out of bounds or does not match
// what was sealed. what() is a short detail, never a sentence on its own: the
// verifier shows it inside "... failed signature validation (DETAIL) ...".
class SignatureDefect : public std::runtime_error {
public:
    explicit SignatureDefect(const std::string& detail) : std::runtime_error(detail) {}
    std::string detail() const { return what(); }
};

} // namespace ostrel
