#pragma once

#include "DemoCatalogue.h"
#include "DemoLog.h"

#include <chrono>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace ostrel::demo {

// The reviews of every product: the catalogue's, plus what users post during the run. Reviews
// that use a moderated word are kept hidden (visible only to their author).
class ReviewBook {
public:
    using Clock = std::chrono::system_clock;

    // An answer for the review routes: an HTTP status and its JSON body.
    struct Answer {
        int status = 200;
        nlohmann::json body;
    };

    // At most this many posts per user within `postWindow`; more are answered 429.
    static constexpr int postsPerWindow = 5;
    static constexpr std::chrono::seconds postWindow{60};
    static constexpr int maxPageSize = 50;

    ReviewBook(const DemoCatalogue& catalogue, DemoLog log);

    // A page of the visible reviews, newest posts first, then the catalogue's; the cursor is
    // the one a previous page handed out.
    Answer page(const std::string& productId, const std::optional<std::string>& cursor, int limit) const;
    // The user's standing: `basis` is why they may post ("purchase", "free") or none.
    Answer mine(const std::string& productId, const std::string& email, const std::optional<std::string>& basis) const;
    // Creates or replaces the user's review of the draft's product.
    Answer post(const std::string& email, const nlohmann::json& draft, const std::optional<std::string>& basis);

private:
    struct Entry {
        nlohmann::json review;
        std::string author; // e-mail, empty for the catalogue's reviews
    };

    std::optional<std::string> problemWith(const nlohmann::json& draft) const;
    bool needsModeration(const nlohmann::json& draft) const;
    bool overPostLimit(const std::string& email, Clock::time_point now);

    const DemoCatalogue& catalogue_;
    const DemoLog log_;
    mutable std::mutex lock_;
    std::map<std::string, std::vector<Entry>> reviews_;           // by product; guarded by lock_
    std::map<std::string, std::vector<Clock::time_point>> posts_; // by author; guarded by lock_
    int nextId_ = 1;                                              // guarded by lock_
};

} // namespace ostrel::demo
