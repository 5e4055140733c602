#pragma once

#include <cstdlib>
#include <string>
#include <string_view>

namespace ostrel::test {

// Tests that use the secret store must never reach the developer's own keyring. They run only
// on a D-Bus session bus started for them: scripts/with-keyring starts one and names its
// address in OSTREL_PRIVATE_SESSION_BUS, beside the DBUS_SESSION_BUS_ADDRESS it sets.
inline constexpr std::string_view privateBusAdvice =
    "refusing to touch a secret store that may be your own: these tests run only on the private "
    "session bus of scripts/with-keyring (for example: scripts/with-keyring ctest --preset dev)";

// True when the session bus this process would talk to is the one named as private.
inline bool onPrivateSessionBus() {
    const char* marker = std::getenv("OSTREL_PRIVATE_SESSION_BUS");
    const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    return marker != nullptr && bus != nullptr && *bus != '\0' && std::string_view(marker) == bus;
}

} // namespace ostrel::test

// Ends the current test or SetUp with a failure unless the process is on the private bus.
#define OSTREL_REQUIRE_PRIVATE_SESSION_BUS()                                                                           \
    do {                                                                                                               \
        if (!::ostrel::test::onPrivateSessionBus())                                                                    \
            FAIL() << ::ostrel::test::privateBusAdvice;                                                                \
    } while (false)
