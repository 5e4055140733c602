#include "Services/MoonbaseError.h"

#include "Services/DecodingError.h"
#include "Util/Log.h"
#include "Util/Unicode.h"

#include <algorithm>
#include <utility>

namespace ostrel {

namespace {

using Service = MoonbaseError::Service;

// Outside text as a sentence may carry it: repaired UTF-8 of at most maxTextCharacters, cut at
// a character boundary and marked with "…" when there was more.
std::string sized(std::string_view text) {
    constexpr std::size_t limit = MoonbaseError::maxTextCharacters;
    // Only a window of the text is looked at, so a runaway text costs no more than a short one.
    constexpr std::size_t window = limit * 32;
    const auto repaired = Unicode::repairUtf8(text.substr(0, std::min(text.size(), window)));
    auto kept = Unicode::characterPrefix(repaired, limit);
    if (kept.size() == repaired.size()) {
        if (text.size() <= window)
            return kept; // all of it
        // The window ended inside the text, perhaps inside a character: drop that last one.
        kept = Unicode::characterPrefix(repaired, Unicode::characterCount(repaired) - 1);
    }
    return kept + "…";
}

std::string_view serviceName(Service service) {
    return service == Service::store ? "The store" : "Ostrel ID";
}

} // namespace

MoonbaseError::MoonbaseError(Kind kind, Payload payload, Service service)
    : Error(describe(kind, payload, service)), kind_(kind), payload_(std::move(payload)), service_(service) {}

std::string MoonbaseError::describe(Kind kind, const Payload& p, Service service) {
    const std::string who(serviceName(service));
    switch (kind) {
    case Kind::notFound:
        return p.text + " was not found.";
    case Kind::forbidden:
        return p.text;
    case Kind::server:
        return who + " returned " + std::to_string(p.status) + ". " + p.text;
    case Kind::decoding:
        return who + " sent a response the app could not read. " + p.text;
    case Kind::blockedURL:
        return "Refused to contact " + p.text + ".";
    case Kind::notSignedIn:
        return "Sign in to continue.";
    case Kind::invalidCredentials:
        return service == Service::store ? "That email and password did not match an Ostrel store account."
                                         : "Ostrel ID did not accept this sign-in. Try again.";
    case Kind::unexpectedAnswer:
        return who + " answered in a way the app did not expect. Try again later.";
    }
    return {};
}

MoonbaseError MoonbaseError::notFound(std::string what) {
    return {Kind::notFound, {.text = sized(what)}};
}
MoonbaseError MoonbaseError::forbidden(std::string message) {
    return {Kind::forbidden, {.text = sized(message)}};
}
MoonbaseError MoonbaseError::server(int64_t status, std::string detail, Service service) {
    return {Kind::server, {.text = sized(detail), .status = status}, service};
}
MoonbaseError MoonbaseError::decoding(std::string detail, Service service) {
    return {Kind::decoding, {.text = sized(detail)}, service};
}
MoonbaseError MoonbaseError::decoding(const DecodingError& failure, Service service) {
    return decoding(std::string(failure.what()), service);
}
MoonbaseError MoonbaseError::blockedURL(std::string address) {
    return {Kind::blockedURL, {.text = sized(address)}};
}
MoonbaseError MoonbaseError::notSignedIn() {
    return {Kind::notSignedIn, {}};
}
MoonbaseError MoonbaseError::invalidCredentials(Service service) {
    return {Kind::invalidCredentials, {}, service};
}
MoonbaseError MoonbaseError::unexpectedAnswer(int64_t status, Service service) {
    return {Kind::unexpectedAnswer, {.status = status}, service};
}

void throwLogged(const MoonbaseError& error, std::string_view detail) {
    const auto category = error.service() == Service::store ? Log::Category::store : Log::Category::identity;
    Log::error(category, std::string(error.what()) + " (" + std::string(detail) + ")");
    throw error;
}

} // namespace ostrel
