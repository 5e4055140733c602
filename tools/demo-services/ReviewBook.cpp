#include "ReviewBook.h"

#include "DemoText.h"
#include "Util/Base64.h"
#include "Util/Iso8601.h"
#include "Util/Unicode.h"

#include <algorithm>

namespace ostrel::demo {

namespace {

using nlohmann::json;

constexpr std::string_view cursorPrefix = "after:";

ReviewBook::Answer error(int status, const std::string& message) {
    return {status, json{{"message", message}}};
}

std::string nowText() {
    return Iso8601::format(std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()));
}

json reviewFrom(const CatalogueReview& review, const std::string& id, const std::string& productId) {
    json out{{"id", id},
             {"productId", productId},
             {"rating", review.rating},
             {"title", review.title},
             {"body", review.body},
             {"displayName", review.displayName},
             {"verifiedPurchase", review.verifiedPurchase}};
    if (review.createdAt)
        out["createdAt"] = *review.createdAt;
    if (review.updatedAt)
        out["updatedAt"] = *review.updatedAt;
    if (review.edited)
        out["edited"] = true;
    return out;
}

// A text member of the draft, or none when it is absent or not text.
std::optional<std::string> text(const json& draft, const char* key) {
    if (!draft.contains(key) || !draft[key].is_string())
        return std::nullopt;
    return draft[key].get<std::string>();
}

} // namespace

ReviewBook::ReviewBook(const DemoCatalogue& catalogue, DemoLog log) : catalogue_(catalogue), log_(std::move(log)) {
    for (const auto& product : catalogue.products) {
        auto& entries = reviews_[product.id];
        for (const auto& review : product.reviews)
            entries.push_back({reviewFrom(review, "rev-" + std::to_string(nextId_++), product.id), ""});
    }
}

ReviewBook::Answer ReviewBook::page(const std::string& productId, const std::optional<std::string>& cursor,
                                    int limit) const {
    if (!catalogue_.product(productId))
        return error(404, "No product " + productId + ".");
    if (limit < 1 || limit > maxPageSize)
        return error(400, "The limit must be 1 to " + std::to_string(maxPageSize) + ".");
    size_t start = 0;
    if (cursor) {
        const auto decoded = base64UrlDecode(*cursor);
        if (!decoded || !decoded->starts_with(cursorPrefix) ||
            decoded->find_first_not_of("0123456789", cursorPrefix.size()) != std::string::npos ||
            decoded->size() == cursorPrefix.size() || decoded->size() > cursorPrefix.size() + 6)
            return error(400, "That cursor is not one this service handed out.");
        start = std::stoul(decoded->substr(cursorPrefix.size()));
    }
    const std::lock_guard guard(lock_);
    std::vector<json> visible;
    std::map<std::string, int> distribution;
    double total = 0;
    for (const auto& entry : reviews_.at(productId))
        if (!entry.review.value("hidden", false)) {
            visible.push_back(entry.review);
            ++distribution[std::to_string(entry.review["rating"].get<int>())];
            total += entry.review["rating"].get<int>();
        }
    json summary{{"count", visible.size()}, {"distribution", distribution}};
    if (!visible.empty())
        summary["average"] = total / static_cast<double>(visible.size());
    const size_t end = std::min(visible.size(), start + static_cast<size_t>(limit));
    json answer{{"productId", productId},
                {"summary", summary},
                {"reviews", start < end ? json(std::vector<json>(visible.begin() + static_cast<long>(start),
                                                                 visible.begin() + static_cast<long>(end)))
                                        : json::array()}};
    if (end < visible.size())
        answer["nextCursor"] = base64UrlEncode(std::string(cursorPrefix) + std::to_string(end));
    return {200, answer};
}

ReviewBook::Answer ReviewBook::mine(const std::string& productId, const std::string& email,
                                    const std::optional<std::string>& basis) const {
    if (!catalogue_.product(productId))
        return error(404, "No product " + productId + ".");
    json answer{{"eligible", basis.has_value()}};
    if (basis)
        answer["basis"] = *basis;
    const std::lock_guard guard(lock_);
    for (const auto& entry : reviews_.at(productId))
        if (entry.author == email)
            answer["review"] = entry.review;
    return {200, answer};
}

std::optional<std::string> ReviewBook::problemWith(const json& draft) const {
    const auto title = text(draft, "title");
    const auto body = text(draft, "body");
    const auto name = text(draft, "displayName");
    if (!draft.contains("rating") || !draft["rating"].is_number_integer() || draft["rating"].get<int>() < 1 ||
        draft["rating"].get<int>() > 5)
        return "Choose a rating from one to five stars.";
    if (!title || title->empty() || Unicode::characterCount(*title) > 80)
        return "A title of 1 to 80 characters is needed.";
    if (!body || body->empty() || Unicode::characterCount(*body) > 2000)
        return "A review of 1 to 2000 characters is needed.";
    if (draft.contains("displayName") && (!name || Unicode::characterCount(*name) > 40))
        return "The name may have at most 40 characters.";
    return std::nullopt;
}

bool ReviewBook::needsModeration(const json& draft) const {
    const std::string words = lowercased(draft["title"].get<std::string>() + " " + draft["body"].get<std::string>());
    return std::any_of(catalogue_.moderatedWords.begin(), catalogue_.moderatedWords.end(),
                       [&](const std::string& word) { return words.find(lowercased(word)) != std::string::npos; });
}

bool ReviewBook::overPostLimit(const std::string& email, Clock::time_point now) {
    auto& times = posts_[email];
    std::erase_if(times, [&](Clock::time_point t) { return now - t >= postWindow; });
    if (static_cast<int>(times.size()) >= postsPerWindow)
        return true;
    times.push_back(now);
    return false;
}

ReviewBook::Answer ReviewBook::post(const std::string& email, const json& draft,
                                    const std::optional<std::string>& basis) {
    if (!draft.is_object())
        return error(400, "The review must be a JSON object.");
    const auto productId = text(draft, "productId").value_or("");
    if (!catalogue_.product(productId))
        return error(404, "No product " + productId + ".");
    if (const auto problem = problemWith(draft))
        return error(400, *problem);
    if (!basis)
        return error(403, "Only people who own or have tried this product can review it.");
    const std::lock_guard guard(lock_);
    if (overPostLimit(email, Clock::now()))
        return {429, json{{"error", "Too many reviews in a short time."}}};
    auto& entries = reviews_[productId];
    const auto existing =
        std::find_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.author == email; });
    const bool created = existing == entries.end();
    const std::string id = created ? "rev-" + std::to_string(nextId_++) : existing->review["id"].get<std::string>();
    const std::string createdAt = created ? nowText() : existing->review.value("createdAt", nowText());
    json review{{"id", id},
                {"productId", productId},
                {"rating", draft["rating"]},
                {"title", draft["title"]},
                {"body", draft["body"]},
                {"displayName", text(draft, "displayName").value_or(email.substr(0, email.find('@')))},
                {"verifiedPurchase", *basis == "purchase"},
                {"createdAt", createdAt}};
    if (!created) {
        review["updatedAt"] = nowText();
        review["edited"] = true;
    }
    if (needsModeration(draft)) {
        review["hidden"] = true;
        log_("identity: review by " + email + " of " + productId + " held for moderation");
    }
    if (created)
        entries.insert(entries.begin(), Entry{review, email});
    else
        existing->review = review;
    return {200, json{{"review", review}, {"created", created}}};
}

} // namespace ostrel::demo
