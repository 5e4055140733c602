#include "Services/HTTPTransport.h"

#include <algorithm>
#include <cctype>

namespace ostrel {

std::optional<std::string> HTTPResponse::header(std::string_view name) const {
    const auto sameName = [&](const HTTPHeader& h) {
        return std::equal(h.name.begin(), h.name.end(), name.begin(), name.end(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        });
    };
    const auto found = std::find_if(headers.begin(), headers.end(), sameName);
    if (found == headers.end())
        return std::nullopt;
    return found->value;
}

} // namespace ostrel
