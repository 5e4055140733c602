#pragma once

#include "Services/JsonReader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// The body of a failed store answer, in the usual problem-details shape.
struct Problem {
    std::optional<std::string> title{};
    std::optional<std::string> detail{};
    std::optional<int64_t> status{};

    // Whatever the body holds; a body that is not a problem has none of the fields.
    static Problem fromBody(std::string_view body);

    bool operator==(const Problem&) const = default;
};

void readJson(const JsonReader& in, Problem& out);
void to_json(nlohmann::json& json, const Problem& problem);

} // namespace ostrel
