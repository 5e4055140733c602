#include "DemoText.h"

#include "Util/Base64.h"

#include <algorithm>
#include <cctype>

namespace ostrel::demo {

std::string lowercased(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::optional<std::string> base64UrlDecode(std::string_view text) {
    if (text.find_first_of("+/") != std::string_view::npos)
        return std::nullopt;
    std::string standard(text);
    std::replace(standard.begin(), standard.end(), '-', '+');
    std::replace(standard.begin(), standard.end(), '_', '/');
    while (standard.size() % 4 != 0)
        standard += '=';
    return base64Decode(standard);
}

} // namespace ostrel::demo
