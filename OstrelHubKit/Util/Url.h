#pragma once

#include "Util/Error.h"

#include <bitset>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// The bytes percent-encoding leaves as they are. The two base sets are the
// ones RFC 3986 allows in a query and in a path; everything we put into an
// address is encoded with one of the narrower sets derived from them.
class AllowedCharacters {
public:
    static AllowedCharacters of(std::string_view chars);

    // Letters, digits and "-._~!$&'()*+,;=:@/?".
    static const AllowedCharacters& urlQueryAllowed();
    // Letters, digits and "-._~!$&'()*+,=:@/" (";" left out, as the platform's path set does).
    static const AllowedCharacters& urlPathAllowed();
    // A value inside a query: the query set without "&=+?#/", so it cannot end or split its item.
    static const AllowedCharacters& queryValue();
    // One piece of a path (an identifier): the path set without "/?#;".
    static const AllowedCharacters& pathPiece();
    // A download address sent by the store: everything legal in an address, "%" included, so
    // existing escapes survive and only illegal characters such as blanks are escaped.
    static const AllowedCharacters& downloadLocation();

    AllowedCharacters minus(std::string_view chars) const;
    AllowedCharacters plus(std::string_view chars) const;
    bool contains(char c) const { return bits_.test(static_cast<unsigned char>(c)); }

private:
    std::bitset<256> bits_;
};

// Every byte outside `allowed` becomes "%XX" (upper-case hex).
std::string percentEncode(std::string_view text, const AllowedCharacters& allowed);
// "%XX" sequences become their bytes; malformed escapes are kept as they are.
std::string percentDecode(std::string_view text);

// An address that did not parse.
class InvalidUrl : public Error {
public:
    explicit InvalidUrl(std::string text);
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

// An absolute address (scheme and, for web addresses, a host), held by libcurl's parser so we
// read it exactly as the transport will send it. A value: copies are independent.
class Url {
public:
    struct QueryItem {
        std::string name;
        std::optional<std::string> value;
        bool operator==(const QueryItem&) const = default;
    };

    // Throws InvalidUrl when `text` is not an absolute address.
    explicit Url(std::string_view text);
    static std::optional<Url> parse(std::string_view text);

    Url(const Url& other);
    Url& operator=(const Url& other);
    Url(Url&&) noexcept;
    Url& operator=(Url&&) noexcept;
    ~Url();

    std::string text() const;
    // Lower case.
    std::string scheme() const;
    std::optional<std::string> host() const;
    // Only a port written in the address.
    std::optional<int> port() const;
    std::optional<std::string> user() const;
    std::optional<std::string> password() const;
    // Percent-encoded, as in the address; "/" for an empty path.
    std::string path() const;
    // Percent-encoded, without the "?".
    std::optional<std::string> query() const;
    // The path followed by "?" and the query when there is one: what a request line carries.
    std::string pathAndQuery() const;
    // Decoded names and values, in order; a piece without "=" has no value.
    std::vector<QueryItem> queryItems() const;

    // This address with `name`=`value` added after any existing query items, both encoded with
    // the query-value set. A fragment is dropped.
    Url appendingQueryItem(std::string_view name, std::string_view value) const;
    // This address without user name and password.
    Url withoutCredentials() const;
    // `reference` resolved against this address: a path replaces the path, an absolute address
    // replaces everything. None when the result is not an address.
    std::optional<Url> resolved(std::string_view reference) const;

    bool operator==(const Url& other) const { return text() == other.text(); }

private:
    struct Handle;
    explicit Url(std::unique_ptr<Handle> handle);
    std::optional<std::string> part(int which) const;

    std::unique_ptr<Handle> handle_;
};

} // namespace ostrel
