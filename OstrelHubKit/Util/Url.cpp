#include "Util/Url.h"

#include "Util/Hex.h"
#include "Util/Text.h"

#include <cctype>

#include <curl/curl.h>

namespace ostrel {

namespace {

constexpr std::string_view letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr std::string_view digits = "0123456789";
constexpr std::string_view unreserved = "-._~";
constexpr std::string_view subDelimiters = "!$&'()*+,;=";

const AllowedCharacters& alphanumerics() {
    static const auto set = AllowedCharacters::of(letters).plus(digits);
    return set;
}

struct CurlUrlDeleter {
    void operator()(CURLU* u) const { curl_url_cleanup(u); }
};
using CurlUrlPtr = std::unique_ptr<CURLU, CurlUrlDeleter>;

// Any scheme is an address to us (e.g. our own "ostrel-hub:"), not only those curl can fetch.
constexpr unsigned parseFlags = CURLU_NON_SUPPORT_SCHEME;

} // namespace

AllowedCharacters AllowedCharacters::of(std::string_view chars) {
    return AllowedCharacters{}.plus(chars);
}

AllowedCharacters AllowedCharacters::plus(std::string_view chars) const {
    auto copy = *this;
    for (char c : chars)
        copy.bits_.set(static_cast<unsigned char>(c));
    return copy;
}

AllowedCharacters AllowedCharacters::minus(std::string_view chars) const {
    auto copy = *this;
    for (char c : chars)
        copy.bits_.reset(static_cast<unsigned char>(c));
    return copy;
}

const AllowedCharacters& AllowedCharacters::urlQueryAllowed() {
    // query = *( pchar / "/" / "?" ), pchar = unreserved / sub-delims / ":" / "@"
    static const auto set = alphanumerics().plus(unreserved).plus(subDelimiters).plus(":@/?");
    return set;
}

const AllowedCharacters& AllowedCharacters::urlPathAllowed() {
    static const auto set = alphanumerics().plus(unreserved).plus(subDelimiters).plus(":@/").minus(";");
    return set;
}

const AllowedCharacters& AllowedCharacters::queryValue() {
    static const auto set = urlQueryAllowed().minus("&=+?#/");
    return set;
}

const AllowedCharacters& AllowedCharacters::pathPiece() {
    static const auto set = urlPathAllowed().minus("/?#;");
    return set;
}

const AllowedCharacters& AllowedCharacters::downloadLocation() {
    static const auto set = alphanumerics().plus("-._~:/?#[]@!$&'()*+,;=%");
    return set;
}

std::string percentEncode(std::string_view text, const AllowedCharacters& allowed) {
    static constexpr std::string_view hex = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (allowed.contains(c)) {
            out += c;
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        out += '%';
        out += hex[byte >> 4];
        out += hex[byte & 0x0f];
    }
    return out;
}

std::string percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const int high = text[i] == '%' && i + 2 < text.size() ? hexDigitValue(text[i + 1]) : -1;
        const int low = high >= 0 ? hexDigitValue(text[i + 2]) : -1;
        if (low < 0) {
            out += text[i];
            continue;
        }
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

InvalidUrl::InvalidUrl(std::string text)
    : Error("The address \"" + text + "\" is not a valid address."), text_(std::move(text)) {}

struct Url::Handle {
    CurlUrlPtr url;
};

Url::Url(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}

Url::Url(std::string_view text) {
    auto parsed = parse(text);
    if (!parsed)
        throw InvalidUrl(std::string(text));
    *this = std::move(*parsed);
}

std::optional<Url> Url::parse(std::string_view text) {
    // curl reads a C string: an embedded NUL would silently cut the address short.
    if (text.empty() || text.find('\0') != std::string_view::npos)
        return std::nullopt;
    CurlUrlPtr url(curl_url());
    if (!url)
        throw std::bad_alloc();
    const std::string copy(text);
    if (curl_url_set(url.get(), CURLUPART_URL, copy.c_str(), parseFlags) != CURLUE_OK)
        return std::nullopt;
    return Url(std::make_unique<Handle>(Handle{std::move(url)}));
}

Url::Url(const Url& other)
    : handle_(std::make_unique<Handle>(Handle{CurlUrlPtr(curl_url_dup(other.handle_->url.get()))})) {
    if (!handle_->url)
        throw std::bad_alloc();
}

Url& Url::operator=(const Url& other) {
    if (this != &other)
        *this = Url(other);
    return *this;
}

Url::Url(Url&&) noexcept = default;
Url& Url::operator=(Url&&) noexcept = default;
Url::~Url() = default;

std::optional<std::string> Url::part(int which) const {
    char* value = nullptr;
    if (curl_url_get(handle_->url.get(), static_cast<CURLUPart>(which), &value, 0) != CURLUE_OK || !value)
        return std::nullopt;
    std::string out(value);
    curl_free(value);
    return out;
}

std::string Url::text() const {
    return part(CURLUPART_URL).value_or("");
}

std::string Url::scheme() const {
    return Text::asciiLowercase(part(CURLUPART_SCHEME).value_or(""));
}

std::optional<std::string> Url::host() const {
    return part(CURLUPART_HOST);
}

std::optional<int> Url::port() const {
    const auto text = part(CURLUPART_PORT);
    if (!text)
        return std::nullopt;
    return std::stoi(*text); // curl only keeps ports it has read as numbers up to 65535
}

std::optional<std::string> Url::user() const {
    return part(CURLUPART_USER);
}
std::optional<std::string> Url::password() const {
    return part(CURLUPART_PASSWORD);
}
std::string Url::path() const {
    return part(CURLUPART_PATH).value_or("/");
}
std::optional<std::string> Url::query() const {
    return part(CURLUPART_QUERY);
}

std::string Url::pathAndQuery() const {
    const auto q = query();
    return q ? path() + "?" + *q : path();
}

std::vector<Url::QueryItem> Url::queryItems() const {
    std::vector<QueryItem> items;
    const auto q = query();
    if (!q)
        return items;
    std::string_view rest = *q;
    while (true) {
        const auto end = rest.find('&');
        const auto piece = rest.substr(0, end);
        const auto equals = piece.find('=');
        if (equals == std::string_view::npos)
            items.push_back({percentDecode(piece), std::nullopt});
        else
            items.push_back({percentDecode(piece.substr(0, equals)), percentDecode(piece.substr(equals + 1))});
        if (end == std::string_view::npos)
            return items;
        rest.remove_prefix(end + 1);
    }
}

Url Url::appendingQueryItem(std::string_view name, std::string_view value) const {
    const auto item = percentEncode(name, AllowedCharacters::queryValue()) + "=" +
                      percentEncode(value, AllowedCharacters::queryValue());
    const auto existing = query();
    const auto joined = existing && !existing->empty() ? *existing + "&" + item : item;
    // Parsed again as a whole where possible: curl rewrites the escapes of a query set as a part
    // in lower case, and the address should stay as written. Setting the part is the fallback
    // for the odd address whose text curl does not read back the same way.
    Url stem(*this);
    curl_url_set(stem.handle_->url.get(), CURLUPART_QUERY, nullptr, 0);
    curl_url_set(stem.handle_->url.get(), CURLUPART_FRAGMENT, nullptr, 0);
    if (auto whole = parse(stem.text() + "?" + joined))
        return std::move(*whole);
    if (curl_url_set(stem.handle_->url.get(), CURLUPART_QUERY, joined.c_str(), 0) != CURLUE_OK)
        throw InvalidUrl(text());
    return stem;
}

Url Url::withoutCredentials() const {
    Url copy(*this);
    curl_url_set(copy.handle_->url.get(), CURLUPART_USER, nullptr, 0);
    curl_url_set(copy.handle_->url.get(), CURLUPART_PASSWORD, nullptr, 0);
    return copy;
}

std::optional<Url> Url::resolved(std::string_view reference) const {
    if (reference.find('\0') != std::string_view::npos)
        return std::nullopt;
    Url copy(*this);
    const std::string ref(reference);
    if (curl_url_set(copy.handle_->url.get(), CURLUPART_URL, ref.c_str(), parseFlags) != CURLUE_OK)
        return std::nullopt;
    return copy;
}

} // namespace ostrel
