#include "Install/ResumeData.h"

#include "Util/PathSafety.h"

#include <nlohmann/json.hpp>

namespace ostrel {
namespace {

// Bumped whenever the form changes; data of another form is not trusted.
constexpr int resumeFormat = 1;

} // namespace

std::string ResumeData::encode() const {
    return nlohmann::json{{"format", resumeFormat}, {"url", url},    {"partial", partialName}, {"received", received},
                          {"validator", validator}, {"total", total}}
        .dump();
}

std::optional<ResumeData> ResumeData::decode(std::string_view text, const std::filesystem::path& folder) {
    if (text.size() > maxBytes)
        return std::nullopt;
    try {
        const auto json = nlohmann::json::parse(text);
        if (json.at("format").get<int>() != resumeFormat)
            return std::nullopt;
        ResumeData data{json.at("url").get<std::string>(), json.at("partial").get<std::string>(),
                        json.at("received").get<int64_t>(), json.at("validator").get<std::string>(),
                        json.at("total").get<int64_t>()};
        const bool inside = PathSafety::isAcceptableFileName(data.partialName) &&
                            PathSafety::isContained(folder / data.partialName, folder);
        if (!inside || data.received <= 0 || data.validator.empty())
            return std::nullopt;
        return data;
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
}

} // namespace ostrel
