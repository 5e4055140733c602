#include "Services/Review.h"

#include "Services/MoonbaseDate.h"

namespace ostrel {

std::optional<std::chrono::system_clock::time_point> Review::date() const {
    if (updatedAt)
        return MoonbaseDate::parse(*updatedAt);
    if (createdAt)
        return MoonbaseDate::parse(*createdAt);
    return std::nullopt;
}

double ReviewSummary::share(int64_t stars) const {
    if (count < 1 || !distribution)
        return 0;
    const auto found = distribution->find(std::to_string(stars));
    return found == distribution->end() ? 0 : static_cast<double>(found->second) / static_cast<double>(count);
}

void readJson(const JsonReader& in, Review& out) {
    out = {
        .id = in.required<std::string>("id"),
        .productId = in.required<std::string>("productId"),
        .rating = in.required<int64_t>("rating"),
        .title = in.required<std::string>("title"),
        .body = in.required<std::string>("body"),
        .displayName = in.required<std::string>("displayName"),
        .verifiedPurchase = in.required<bool>("verifiedPurchase"),
        .createdAt = in.optional<std::string>("createdAt"),
        .updatedAt = in.optional<std::string>("updatedAt"),
        .edited = in.optional<bool>("edited"),
        .hidden = in.optional<bool>("hidden"),
    };
}

void to_json(nlohmann::json& json, const Review& review) {
    json = {{"id", review.id},
            {"productId", review.productId},
            {"rating", review.rating},
            {"title", review.title},
            {"body", review.body},
            {"displayName", review.displayName},
            {"verifiedPurchase", review.verifiedPurchase}};
    writeOptional(json, "createdAt", review.createdAt);
    writeOptional(json, "updatedAt", review.updatedAt);
    writeOptional(json, "edited", review.edited);
    writeOptional(json, "hidden", review.hidden);
}

void readJson(const JsonReader& in, ReviewSummary& out) {
    out = {
        .count = in.required<int64_t>("count"),
        .average = in.optional<double>("average"),
        .distribution = in.optional<std::map<std::string, int64_t>>("distribution"),
    };
}

void to_json(nlohmann::json& json, const ReviewSummary& summary) {
    json = {{"count", summary.count}};
    writeOptional(json, "average", summary.average);
    writeOptional(json, "distribution", summary.distribution);
}

void readJson(const JsonReader& in, ReviewPage& out) {
    out = {
        .productId = in.required<std::string>("productId"),
        .summary = in.required<ReviewSummary>("summary"),
        .reviews = in.required<std::vector<Review>>("reviews"),
        .nextCursor = in.optional<std::string>("nextCursor"),
    };
}

void to_json(nlohmann::json& json, const ReviewPage& page) {
    json = {{"productId", page.productId}, {"summary", page.summary}, {"reviews", page.reviews}};
    writeOptional(json, "nextCursor", page.nextCursor);
}

void readJson(const JsonReader& in, MyReview& out) {
    out = {
        .eligible = in.required<bool>("eligible"),
        .basis = in.optional<std::string>("basis"),
        .review = in.optional<Review>("review"),
    };
}

void to_json(nlohmann::json& json, const MyReview& mine) {
    json = {{"eligible", mine.eligible}};
    writeOptional(json, "basis", mine.basis);
    writeOptional(json, "review", mine.review);
}

void readJson(const JsonReader& in, PostedReview& out) {
    out = {.review = in.required<Review>("review"), .created = in.required<bool>("created")};
}

void to_json(nlohmann::json& json, const PostedReview& posted) {
    json = {{"review", posted.review}, {"created", posted.created}};
}

} // namespace ostrel
