#pragma once

#include "Services/JsonReader.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {

// One published or pending review of a product, as the identity service keeps it.
struct Review {
    std::string id{};
    std::string productId{};
    int64_t rating = 0; // stars, 1 to 5
    std::string title{};
    std::string body{}; // plain text
    std::string displayName{};
    bool verifiedPurchase = false;
    std::optional<std::string> createdAt{};
    std::optional<std::string> updatedAt{};
    std::optional<bool> edited{};
    std::optional<bool> hidden{}; // waiting for a moderator

    // The time of the last edit, else of creation. An edit time that is not a date gives none:
    // showing the creation time instead would pass an edited review off as unchanged.
    std::optional<std::chrono::system_clock::time_point> date() const;

    bool operator==(const Review&) const = default;
};

// A product's rating statistics.
struct ReviewSummary {
    int64_t count = 0;
    std::optional<double> average{};
    std::optional<std::map<std::string, int64_t>> distribution{}; // "1" to "5" → number of ratings

    // The fraction of ratings with `stars` stars, for the star bars; 0 without ratings.
    double share(int64_t stars) const;

    bool operator==(const ReviewSummary&) const = default;
};

// One page of a product's reviews, in the service's order.
struct ReviewPage {
    std::string productId{};
    ReviewSummary summary{};
    std::vector<Review> reviews{};
    std::optional<std::string> nextCursor{}; // absent on the last page

    bool operator==(const ReviewPage&) const = default;
};

// The signed-in user's standing for one product.
struct MyReview {
    bool eligible = false;
    std::optional<std::string> basis{}; // the service's ground for `eligible`, as sent
    std::optional<Review> review{};     // hidden ones included

    bool operator==(const MyReview&) const = default;
};

// The answer to posting a review.
struct PostedReview {
    Review review{};
    bool created = false; // false when the user's earlier review was replaced

    bool operator==(const PostedReview&) const = default;
};

void readJson(const JsonReader& in, Review& out);
void to_json(nlohmann::json& json, const Review& review);
void readJson(const JsonReader& in, ReviewSummary& out);
void to_json(nlohmann::json& json, const ReviewSummary& summary);
void readJson(const JsonReader& in, ReviewPage& out);
void to_json(nlohmann::json& json, const ReviewPage& page);
void readJson(const JsonReader& in, MyReview& out);
void to_json(nlohmann::json& json, const MyReview& mine);
void readJson(const JsonReader& in, PostedReview& out);
void to_json(nlohmann::json& json, const PostedReview& posted);

} // namespace ostrel
