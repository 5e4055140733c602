#pragma once

#include "Services/JsonReader.h"

#include <optional>
#include <string>
#include <vector>

namespace ostrel {

// One page of a paginated store list.
template <class T>
struct Paged {
    std::vector<T> items{};
    bool hasMore = false;
    std::optional<std::string> next{}; // a token or an address of the next page

    bool operator==(const Paged&) const = default;
};

template <class T>
void readJson(const JsonReader& in, Paged<T>& out) {
    out = {
        .items = in.required<std::vector<T>>("items"),
        .hasMore = in.required<bool>("hasMore"),
        .next = in.optional<std::string>("next"),
    };
}

template <class T>
void to_json(nlohmann::json& json, const Paged<T>& page) {
    json = {{"items", page.items}, {"hasMore", page.hasMore}};
    writeOptional(json, "next", page.next);
}

} // namespace ostrel
