#include "Catalog/BoundedJson.h"

namespace ostrel::BoundedJson {

namespace {

// The position just past the string that opens at `open` (its quote), or the end of the text.
// Most of a document's bytes are inside strings, so they are skipped by searching for quotes.
std::size_t afterString(std::string_view text, std::size_t open) {
    for (std::size_t quote = open;;) {
        quote = text.find('"', quote + 1);
        if (quote == std::string_view::npos)
            return text.size();
        std::size_t backslashes = 0;
        while (text[quote - 1 - backslashes] == '\\')
            ++backslashes;
        if (backslashes % 2 == 0) // an escaped quote is preceded by an odd number of them
            return quote + 1;
    }
}

} // namespace

bool nestsAtMost(std::string_view text, std::size_t limit) {
    std::size_t depth = 0;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '"') {
            i = afterString(text, i);
            continue;
        }
        if ((c == '[' || c == '{') && ++depth > limit)
            return false;
        if ((c == ']' || c == '}') && depth > 0)
            --depth;
        ++i;
    }
    return true;
}

std::optional<JsonTree> parse(std::string_view text) {
    if (!nestsAtMost(text, maxDepth))
        return std::nullopt;
    return JsonTree::tryParse(text);
}

} // namespace ostrel::BoundedJson
