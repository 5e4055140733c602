#pragma once

#include <stdexcept>
#include <string>

namespace ostrel {

// The base of every error the hub can show to a person: what() is a complete
// sentence in the hub's own words, ready for a banner or a form. Technical
// detail belongs in the log, not here.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The user or the system stopped an operation. Callers do not report it.
class Cancelled : public Error {
public:
    Cancelled() : Error("Cancelled.") {}
};

} // namespace ostrel
