#pragma once

#include "Services/SessionTokens.h"

#include <optional>

namespace ostrel {

// Where a service client keeps its session between launches. Implementations are safe to call
// from any thread.
class TokenPersistence {
public:
    virtual ~TokenPersistence() = default;

    // The stored session, or none. Never fails: anything unreadable counts as signed out.
    virtual std::optional<SessionTokens> load() = 0;
    // Stores `tokens` in place of any earlier session. Throws an ostrel::Error on failure.
    virtual void save(const SessionTokens& tokens) = 0;
    // Removes the stored session; removing nothing succeeds. Throws an ostrel::Error on failure.
    virtual void clear() = 0;
};

} // namespace ostrel
