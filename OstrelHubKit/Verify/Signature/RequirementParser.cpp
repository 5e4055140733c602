#include "Verify/Signature/Requirement.h"
#include "Verify/Signature/SignatureFailure.h"

#include <cctype>
#include <charconv>

namespace ostrel::signature {

namespace {

[[noreturn]] void bad() {
    throw SignatureFailure::invalid("bad requirement");
}

struct Token {
    enum class Kind { end, word, string, hash, symbol };
    Kind kind = Kind::end;
    std::string text;
};

bool isWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 ||
           std::string_view("._-/:+@*$").find(c) != std::string_view::npos;
}

class Lexer {
public:
    explicit Lexer(const std::string& text) : text_(text) {}

    Token next() {
        skipSpaceAndComments();
        if (at_ >= text_.size())
            return {};
        char c = text_[at_];
        if (c == '"')
            return {Token::Kind::string, quoted()};
        if (c == 'H' && at_ + 1 < text_.size() && text_[at_ + 1] == '"') {
            ++at_;
            return {Token::Kind::hash, quoted()};
        }
        for (std::string_view symbol : {"&&", "||", "<=", ">=", "(", ")", "[", "]", "!", "=", "<", ">", "~"}) {
            if (text_.compare(at_, symbol.size(), symbol) == 0) {
                at_ += symbol.size();
                return {Token::Kind::symbol, std::string(symbol)};
            }
        }
        if (!isWordChar(c))
            bad();
        size_t start = at_;
        while (at_ < text_.size() && isWordChar(text_[at_]))
            ++at_;
        return {Token::Kind::word, text_.substr(start, at_ - start)};
    }

private:
    void skipSpaceAndComments() {
        for (;;) {
            while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_])) != 0)
                ++at_;
            if (text_.compare(at_, 2, "/*") != 0)
                return;
            size_t end = text_.find("*/", at_ + 2);
            if (end == std::string::npos)
                bad();
            at_ = end + 2;
        }
    }

    std::string quoted() {
        std::string out;
        for (++at_; at_ < text_.size(); ++at_) {
            char c = text_[at_];
            if (c == '"') {
                ++at_;
                return out;
            }
            if (c == '\\' && ++at_ >= text_.size())
                break;
            out += text_[at_];
        }
        bad();
    }

    const std::string& text_;
    size_t at_ = 0;
};

std::string unhex(const std::string& hex) {
    if (hex.size() % 2 != 0)
        bad();
    std::string out;
    for (size_t i = 0; i < hex.size(); i += 2) {
        unsigned value = 0;
        auto [end, error] = std::from_chars(hex.data() + i, hex.data() + i + 2, value, 16);
        if (error != std::errc() || end != hex.data() + i + 2)
            bad();
        out += static_cast<char>(value);
    }
    return out;
}

class Parser {
public:
    explicit Parser(const std::string& text) : lexer_(text) { advance(); }

    Requirement parseAll() {
        Requirement result = orExpression(0);
        if (token_.kind != Token::Kind::end)
            bad();
        return result;
    }

private:
    void advance() { token_ = lexer_.next(); }
    bool isWord(const char* word) const { return token_.kind == Token::Kind::word && token_.text == word; }
    bool isSymbol(const char* symbol) const { return token_.kind == Token::Kind::symbol && token_.text == symbol; }
    bool accept(const char* word) {
        if (!isWord(word) && !isSymbol(word))
            return false;
        advance();
        return true;
    }
    void expect(const char* word) {
        if (!accept(word))
            bad();
    }

    Requirement binary(Requirement::Op op, Requirement left, Requirement right) {
        Requirement node{op};
        node.operands = {std::move(left), std::move(right)};
        return node;
    }

    // A chain "a and b and c" nests to the left, one level per operator.
    static int deeper(int& depth) {
        if (++depth > maxRequirementDepth)
            bad();
        return depth;
    }

    Requirement orExpression(int depth) {
        Requirement left = andExpression(depth);
        while (accept("or") || accept("||"))
            left = binary(Requirement::Op::anyOf, std::move(left), andExpression(deeper(depth)));
        return left;
    }

    Requirement andExpression(int depth) {
        Requirement left = unary(depth);
        while (accept("and") || accept("&&"))
            left = binary(Requirement::Op::allOf, std::move(left), unary(deeper(depth)));
        return left;
    }

    Requirement unary(int depth) {
        if (depth > maxRequirementDepth)
            bad();
        if (accept("!")) {
            Requirement node{Requirement::Op::negation};
            node.operands.push_back(unary(depth + 1));
            return node;
        }
        if (accept("(")) {
            Requirement inner = orExpression(depth + 1);
            expect(")");
            return inner;
        }
        return primary();
    }

    std::string stringValue() {
        if (token_.kind != Token::Kind::string && token_.kind != Token::Kind::word)
            bad();
        std::string text = token_.text;
        advance();
        return text;
    }

    std::string hashValue() {
        if (token_.kind != Token::Kind::hash)
            bad();
        std::string bytes = unhex(token_.text);
        advance();
        return bytes;
    }

    int32_t certificateSlot() {
        if (accept("leaf"))
            return 0;
        if (accept("root") || accept("anchor"))
            return -1;
        if (token_.kind != Token::Kind::word)
            bad();
        int32_t slot = 0;
        const std::string& text = token_.text;
        auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), slot);
        if (error != std::errc() || end != text.data() + text.size())
            bad();
        advance();
        return slot;
    }

    // A comparison after a certificate field; no operator means "exists"
    // (codesign prints that case as a comment).
    void matchSuffix(Requirement& node) {
        if (accept("exists")) {
            node.match = Requirement::Match::exists;
        } else if (accept("absent")) {
            node.match = Requirement::Match::absent;
        } else if (accept("=")) {
            equalityValue(node, stringValue());
        } else if (accept("~")) {
            node.match = Requirement::Match::contains;
            node.value = stringValue();
        } else if (accept("<") || accept(">") || accept("<=") || accept(">=")) {
            bad(); // ordered comparisons are not used by any requirement we check
        } else {
            node.match = Requirement::Match::exists;
        }
    }

    // codesign's wildcards: "*x" ends with, "x*" begins with, "*x*" contains.
    static void equalityValue(Requirement& node, std::string value) {
        bool leading = value.size() > 1 && value.front() == '*';
        bool trailing = value.size() > 1 && value.back() == '*';
        if (leading)
            value.erase(0, 1);
        if (trailing)
            value.pop_back();
        node.match = leading && trailing ? Requirement::Match::contains
                     : leading           ? Requirement::Match::endsWith
                     : trailing          ? Requirement::Match::beginsWith
                                         : Requirement::Match::equal;
        node.value = std::move(value);
    }

    Requirement certificate() {
        Requirement node;
        node.slot = certificateSlot();
        if (accept("trusted")) {
            node.op = Requirement::Op::anchorTrusted;
        } else if (accept("[")) {
            std::string key = stringValue();
            expect("]");
            if (key.rfind("field.", 0) == 0) {
                node.op = Requirement::Op::certificateGeneric;
                node.key = key.substr(6);
            } else {
                node.op = Requirement::Op::certificateField;
                node.key = key;
            }
            matchSuffix(node);
        } else {
            accept("=");
            node.op = Requirement::Op::certificateHash;
            node.value = hashValue();
        }
        return node;
    }

    Requirement primary() {
        if (accept("always") || accept("true"))
            return {Requirement::Op::always};
        if (accept("never") || accept("false"))
            return {Requirement::Op::never};
        if (accept("notarized"))
            return {Requirement::Op::notarized};
        if (accept("identifier")) {
            accept("=");
            Requirement node{Requirement::Op::identifier};
            node.value = stringValue();
            return node;
        }
        if (accept("cdhash")) {
            accept("=");
            Requirement node{Requirement::Op::cdhash};
            node.value = hashValue();
            return node;
        }
        if (accept("anchor")) {
            if (accept("apple"))
                return {accept("generic") ? Requirement::Op::anchorAppleGeneric : Requirement::Op::anchorApple};
            if (accept("trusted"))
                return {Requirement::Op::anchorTrusted, -1};
            accept("=");
            Requirement node{Requirement::Op::certificateHash, -1};
            node.value = hashValue();
            return node;
        }
        if (accept("certificate") || accept("cert"))
            return certificate();
        bad();
    }

    Lexer lexer_;
    Token token_;
};

} // namespace

Requirement parseRequirement(const std::string& text) {
    return Parser(text).parseAll();
}

} // namespace ostrel::signature
