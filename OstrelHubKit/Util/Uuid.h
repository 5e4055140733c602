#pragma once

#include <string>

namespace ostrel {

// A new random (version 4) UUID in upper-case text, from the system's
// cryptographic random generator: "E621E1F8-C36C-495A-93FC-0C247A3E6E5F".
std::string newUuidString();

} // namespace ostrel
