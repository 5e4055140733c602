#include "Services/JsonTextParser.h"

#include "Util/Hex.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>

namespace ostrel {

namespace {

constexpr std::uint64_t everyByte(unsigned char byte) {
    return 0x0101010101010101ULL * byte;
}

// Whether any of the eight bytes of `word` is a quote, a backslash, a control character or
// beyond ASCII: anything that ends a string or needs a closer look.
bool anySpecial(std::uint64_t word) {
    const auto anyZero = [](std::uint64_t w) { return (w - everyByte(1)) & ~w & everyByte(0x80); };
    const std::uint64_t control = (word - everyByte(0x20)) & ~word & everyByte(0x80);
    return (anyZero(word ^ everyByte('"')) | anyZero(word ^ everyByte('\\')) | control | (word & everyByte(0x80))) != 0;
}

// The length of the well-formed UTF-8 sequence at `at`, whose first byte is beyond ASCII, or 0.
std::size_t utf8Length(const char* at, const char* end) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(at[i]); };
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (byte(0) >= 0xC2 && byte(0) <= 0xDF) {
        length = 2;
    } else if (byte(0) >= 0xE0 && byte(0) <= 0xEF) {
        length = 3;
        low = byte(0) == 0xE0 ? 0xA0 : low;   // no overlong forms
        high = byte(0) == 0xED ? 0x9F : high; // no surrogates
    } else if (byte(0) >= 0xF0 && byte(0) <= 0xF4) {
        length = 4;
        low = byte(0) == 0xF0 ? 0x90 : low;
        high = byte(0) == 0xF4 ? 0x8F : high; // nothing beyond U+10FFFF
    }
    if (length == 0 || std::size_t(end - at) < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    return length;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

void appendUtf8(std::string& out, std::uint32_t code) {
    const auto put = [&](std::uint32_t byte) { out.push_back(static_cast<char>(byte)); };
    if (code < 0x80) {
        put(code);
    } else if (code < 0x800) {
        put(0xC0 | code >> 6);
        put(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        put(0xE0 | code >> 12);
        put(0x80 | (code >> 6 & 0x3F));
        put(0x80 | (code & 0x3F));
    } else {
        put(0xF0 | code >> 18);
        put(0x80 | (code >> 12 & 0x3F));
        put(0x80 | (code >> 6 & 0x3F));
        put(0x80 | (code & 0x3F));
    }
}

} // namespace

std::optional<JsonTree> JsonTextParser::parse(std::string_view text) {
    if (text.size() > JsonTree::maxExtent)
        return std::nullopt; // its nodes could outnumber what a tree counts
    JsonTextParser parser(text);
    if (!parser.document())
        return std::nullopt;
    return std::move(parser.tree_);
}

JsonTextParser::JsonTextParser(std::string_view text) : at_(text.data()), end_(text.data() + text.size()) {
    // A document of records holds a node for every ten bytes or so; room for more spares the
    // copying of regrowth, and pages never written cost no memory.
    tree_.nodes_.reserve(text.size() / 8 + 1);
}

bool JsonTextParser::document() {
    // nlohmann::json skips a byte order mark at the start
    static constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
    if (std::string_view(at_, std::size_t(end_ - at_)).starts_with(byteOrderMark))
        at_ += byteOrderMark.size();
    if (!value())
        return false;
    while (!open_.empty())
        if (!step())
            return false;
    skipWhitespace();
    return atEnd();
}

// Closes the innermost open container, or reads its next element or member.
bool JsonTextParser::step() {
    skipWhitespace();
    if (atEnd())
        return false;
    Node& container = tree_.nodes_[open_.back()];
    const bool object = container.kind == Kind::object;
    if (*at_ == (object ? '}' : ']')) {
        ++at_;
        container.extent = tree_.end();
        open_.pop_back();
        return true;
    }
    if (container.value.whole > 0) {
        if (*at_ != ',')
            return false;
        ++at_;
    }
    ++container.value.whole; // counted first: reading the value may move the nodes
    return object ? member() : value();
}

bool JsonTextParser::member() {
    skipWhitespace();
    if (atEnd() || *at_ != '"' || !string())
        return false;
    skipWhitespace();
    if (atEnd() || *at_ != ':')
        return false;
    ++at_;
    return value();
}

bool JsonTextParser::value() {
    skipWhitespace();
    if (atEnd())
        return false;
    switch (*at_) {
    case '{':
    case '[': {
        Node node;
        node.kind = *at_ == '{' ? Kind::object : Kind::array;
        ++at_;
        open_.push_back(tree_.nodes_.size());
        tree_.nodes_.push_back(node);
        return true;
    }
    case '"':
        return string();
    case 't':
        return literal("true", Node{.value = {.boolean = true}, .extent = 0, .kind = Kind::boolean});
    case 'f':
        return literal("false", Node{.value = {.boolean = false}, .extent = 0, .kind = Kind::boolean});
    case 'n':
        return literal("null", Node{});
    default:
        return number();
    }
}

// A string without escapes is used where it stands in the text.
bool JsonTextParser::string() {
    const char* start = ++at_;
    for (;;) {
        std::uint64_t word;
        while (end_ - at_ >= 8 && (std::memcpy(&word, at_, 8), !anySpecial(word)))
            at_ += 8;
        if (atEnd())
            return false;
        const auto c = static_cast<unsigned char>(*at_);
        if (c == '"')
            break;
        if (c == '\\')
            return escapedString(start);
        if (c < 0x20)
            return false;
        const std::size_t length = c < 0x80 ? 1 : utf8Length(at_, end_);
        if (length == 0)
            return false;
        at_ += length;
    }
    tree_.nodes_.push_back(Node{.value = {.text = start}, .extent = std::uint32_t(at_ - start), .kind = Kind::string});
    ++at_;
    return true;
}

// The string that opened at `start`, from its first escape on.
bool JsonTextParser::escapedString(const char* start) {
    std::string text(start, at_);
    for (;;) {
        if (atEnd())
            return false;
        const auto c = static_cast<unsigned char>(*at_);
        if (c == '"')
            break;
        if (c == '\\') {
            if (!escape(text))
                return false;
            continue;
        }
        if (c < 0x20)
            return false;
        const std::size_t length = c < 0x80 ? 1 : utf8Length(at_, end_);
        if (length == 0)
            return false;
        text.append(at_, length);
        at_ += length;
    }
    ++at_;
    const auto& kept = tree_.unescaped_.emplace_front(std::move(text));
    tree_.nodes_.push_back(
        Node{.value = {.text = kept.data()}, .extent = std::uint32_t(kept.size()), .kind = Kind::string});
    return true;
}

bool JsonTextParser::escape(std::string& out) {
    if (end_ - at_ < 2)
        return false;
    const char kind = at_[1];
    at_ += 2;
    if (kind == 'u')
        return codePoint(out);
    // each one-letter escape followed by what it stands for
    static constexpr std::string_view meanings = "\"\"\\\\//b\bf\fn\nr\rt\t";
    for (std::size_t i = 0; i < meanings.size(); i += 2) {
        if (meanings[i] == kind) {
            out.push_back(meanings[i + 1]);
            return true;
        }
    }
    return false;
}

// The rest of a \u escape: four hex digits, and for a high surrogate the \u escape of its low half.
bool JsonTextParser::codePoint(std::string& out) {
    auto code = hexDigits();
    if (!code || (*code >= 0xDC00 && *code <= 0xDFFF))
        return false;
    if (*code >= 0xD800 && *code <= 0xDBFF) {
        if (end_ - at_ < 2 || at_[0] != '\\' || at_[1] != 'u')
            return false;
        at_ += 2;
        const auto low = hexDigits();
        if (!low || *low < 0xDC00 || *low > 0xDFFF)
            return false;
        code = 0x10000 + ((*code - 0xD800) << 10) + (*low - 0xDC00);
    }
    appendUtf8(out, *code);
    return true;
}

std::optional<std::uint32_t> JsonTextParser::hexDigits() {
    if (end_ - at_ < 4)
        return std::nullopt;
    std::uint32_t code = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = hexDigitValue(*at_++);
        if (digit < 0)
            return std::nullopt;
        code = code << 4 | std::uint32_t(digit);
    }
    return code;
}

// A whole number that fits 64 bits is kept whole, as nlohmann::json does: unsigned when it has
// no sign, signed when it has one. Every other number is a double.
bool JsonTextParser::number() {
    const char* start = at_;
    const bool negative = *at_ == '-';
    if (negative)
        ++at_;
    if (atEnd() || !isDigit(*at_))
        return false;
    std::uint64_t magnitude = 0;
    bool fits = true;
    if (*at_ == '0') {
        ++at_;
    } else {
        for (; !atEnd() && isDigit(*at_); ++at_) {
            const auto digit = std::uint64_t(*at_ - '0');
            fits = fits && magnitude <= (std::numeric_limits<std::uint64_t>::max() - digit) / 10;
            magnitude = magnitude * 10 + digit;
        }
    }
    bool whole = true;
    if (!atEnd() && *at_ == '.') {
        ++at_;
        if (!digits())
            return false;
        whole = false;
    }
    if (!atEnd() && (*at_ == 'e' || *at_ == 'E')) {
        ++at_;
        if (!atEnd() && (*at_ == '+' || *at_ == '-'))
            ++at_;
        if (!digits())
            return false;
        whole = false;
    }
    constexpr auto smallest = std::uint64_t{1} << 63; // the magnitude of int64's minimum
    if (whole && fits && !negative) {
        tree_.nodes_.push_back(Node{.value = {.whole = magnitude}, .extent = 0, .kind = Kind::whole});
    } else if (whole && fits && magnitude <= smallest) {
        const auto value =
            magnitude == smallest ? std::numeric_limits<std::int64_t>::min() : -static_cast<std::int64_t>(magnitude);
        tree_.nodes_.push_back(Node{.value = {.integer = value}, .extent = 0, .kind = Kind::integer});
    } else {
        double value = 0;
        // Out of a double's range, nlohmann::json has its own answer: leave the text to it.
        if (std::from_chars(start, at_, value).ec != std::errc())
            return false;
        tree_.nodes_.push_back(Node{.value = {.real = value}, .extent = 0, .kind = Kind::real});
    }
    return true;
}

bool JsonTextParser::digits() {
    const char* start = at_;
    while (!atEnd() && isDigit(*at_))
        ++at_;
    return at_ != start;
}

bool JsonTextParser::literal(std::string_view word, Node node) {
    if (std::size_t(end_ - at_) < word.size() || std::memcmp(at_, word.data(), word.size()) != 0)
        return false;
    at_ += word.size();
    tree_.nodes_.push_back(node);
    return true;
}

void JsonTextParser::skipWhitespace() {
    while (!atEnd() && (*at_ == ' ' || *at_ == '\n' || *at_ == '\r' || *at_ == '\t'))
        ++at_;
}

} // namespace ostrel
