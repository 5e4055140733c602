#include "Util/Base64.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace ostrel {

namespace {

constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The 6-bit value of one base64 character, or -1.
int sextet(char c) {
    auto at = alphabet.find(c);
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

// Decodes one group of four characters into `out`; false when the group is malformed.
// `last` tells whether padding is allowed in this group.
bool decodeGroup(std::string_view group, bool last, std::string& out) {
    std::size_t padding = 0;
    while (padding < 2 && group[3 - padding] == '=')
        ++padding;
    if (padding > 0 && !last)
        return false;
    uint32_t bits = 0;
    for (std::size_t i = 0; i < 4 - padding; ++i) {
        int value = sextet(group[i]);
        if (value < 0)
            return false;
        bits |= static_cast<uint32_t>(value) << (18 - 6 * i);
    }
    for (std::size_t i = 0; i < 3 - padding; ++i)
        out.push_back(static_cast<char>((bits >> (16 - 8 * i)) & 0xff));
    return true;
}

} // namespace

std::string base64Encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        uint32_t bits = 0;
        for (std::size_t k = 0; k < n; ++k)
            bits |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + k])) << (16 - 8 * k);
        for (std::size_t k = 0; k < 4; ++k)
            out.push_back(k <= n ? alphabet[(bits >> (18 - 6 * k)) & 0x3f] : '=');
    }
    return out;
}

std::string base64UrlEncode(std::string_view bytes) {
    std::string out = base64Encode(bytes);
    std::erase(out, '=');
    std::replace(out.begin(), out.end(), '+', '-');
    std::replace(out.begin(), out.end(), '/', '_');
    return out;
}

std::optional<std::string> base64Decode(std::string_view text) {
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        if (!decodeGroup(text.substr(i, 4), i + 4 == text.size(), out))
            return std::nullopt;
    }
    return out;
}

} // namespace ostrel
