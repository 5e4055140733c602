#include "Services/Problem.h"

namespace ostrel {

Problem Problem::fromBody(std::string_view body) {
    try {
        return decodeJsonText<Problem>(body);
    } catch (const DecodingError&) {
        return {};
    }
}

void readJson(const JsonReader& in, Problem& out) {
    out = {
        .title = in.optional<std::string>("title"),
        .detail = in.optional<std::string>("detail"),
        .status = in.optional<int64_t>("status"),
    };
}

void to_json(nlohmann::json& json, const Problem& problem) {
    json = nlohmann::json::object();
    writeOptional(json, "title", problem.title);
    writeOptional(json, "detail", problem.detail);
    writeOptional(json, "status", problem.status);
}

} // namespace ostrel
