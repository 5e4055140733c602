#include "Services/HTTPTransport.h"

#include "Util/Text.h"

#include <algorithm>

namespace ostrel {

std::optional<std::string> HTTPResponse::header(std::string_view name) const {
    const auto found = std::find_if(headers.begin(), headers.end(),
                                    [&](const HTTPHeader& h) { return Text::equalsIgnoringAsciiCase(h.name, name); });
    if (found == headers.end())
        return std::nullopt;
    return found->value;
}

} // namespace ostrel
