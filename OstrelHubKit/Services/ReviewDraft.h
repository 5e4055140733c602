#pragma once

#include "Services/JsonReader.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace ostrel {

// What the review form sends. `problem` says whether it may be sent; the client sends only
// `normalized` drafts.
struct ReviewDraft {
    // In user-perceived characters.
    static constexpr size_t titleLimit = 80;
    static constexpr size_t bodyLimit = 2000;
    static constexpr size_t nameLimit = 40;

    std::string productId{};
    int64_t rating = 0;
    std::string title{};
    std::string body{};
    std::optional<std::string> displayName{}; // left out of the JSON when none

    // Title, body and name without surrounding white space and line breaks; a name left empty
    // becomes none.
    ReviewDraft normalized() const;
    // The sentence for the first rule the normalized draft breaks, or none when it may be sent.
    std::optional<std::string> problem() const;

    bool operator==(const ReviewDraft&) const = default;
};

void readJson(const JsonReader& in, ReviewDraft& out);
void to_json(nlohmann::json& json, const ReviewDraft& draft);

} // namespace ostrel
