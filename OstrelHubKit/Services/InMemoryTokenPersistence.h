#pragma once

#include "Services/TokenPersistence.h"

#include <mutex>

namespace ostrel {

// A session kept only for the life of the process, for runs that must not read or write the
// user's stored sessions. Shared by reference; every access holds the lock.
class InMemoryTokenPersistence final : public TokenPersistence {
public:
    std::optional<SessionTokens> load() override {
        std::lock_guard guard(lock_);
        return tokens_;
    }
    void save(const SessionTokens& tokens) override {
        std::lock_guard guard(lock_);
        tokens_ = tokens;
    }
    void clear() override {
        std::lock_guard guard(lock_);
        tokens_.reset();
    }

private:
    std::mutex lock_;
    std::optional<SessionTokens> tokens_;
};

} // namespace ostrel
