#pragma once

#include "Services/JsonTree.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// Builds a JsonTree straight from text in one pass, without recursion (nesting costs heap, not
// stack). It accepts a subset of what nlohmann::json accepts and reads it to the same values:
// anything it is unsure of (text that is not JSON, a number out of a double's range, input
// after a NUL byte) it declines, and JsonTree hands that text to nlohmann::json instead.
class JsonTextParser {
public:
    static std::optional<JsonTree> parse(std::string_view text);

private:
    using Node = JsonTree::Node;
    using Kind = JsonTree::Kind;

    explicit JsonTextParser(std::string_view text);

    bool document();
    bool step();
    bool member();
    bool value();
    bool string();
    bool escapedString(const char* start);
    bool escape(std::string& out);
    bool codePoint(std::string& out);
    std::optional<std::uint32_t> hexDigits();
    bool number();
    bool digits();
    bool literal(std::string_view word, Node node);
    void skipWhitespace();
    bool atEnd() const { return at_ == end_; }

    const char* at_;
    const char* end_;
    JsonTree tree_;
    std::vector<JsonTree::Index> open_; // the containers around the current position
};

} // namespace ostrel
