#include "Services/MoonbaseError.h"

#include "Services/DecodingError.h"

#include <utility>

namespace ostrel {

MoonbaseError::MoonbaseError(Kind kind, Payload payload)
    : Error(describe(kind, payload)), kind_(kind), payload_(std::move(payload)) {}

std::string MoonbaseError::describe(Kind kind, const Payload& p) {
    switch (kind) {
    case Kind::notFound:
        return p.text + " was not found.";
    case Kind::forbidden:
        return p.text;
    case Kind::server:
        return "The store returned " + std::to_string(p.status) + ". " + p.text;
    case Kind::decoding:
        return "The store sent a response the app could not read. " + p.text;
    case Kind::blockedURL:
        return "Refused to contact " + p.text + ".";
    case Kind::notSignedIn:
        return "Sign in to continue.";
    case Kind::invalidCredentials:
        return "That email and password did not match a Ostrel store account.";
    }
    return {};
}

MoonbaseError MoonbaseError::notFound(std::string what) {
    return {Kind::notFound, {.text = std::move(what)}};
}
MoonbaseError MoonbaseError::forbidden(std::string message) {
    return {Kind::forbidden, {.text = std::move(message)}};
}
MoonbaseError MoonbaseError::server(int64_t status, std::string detail) {
    return {Kind::server, {.text = std::move(detail), .status = status}};
}
MoonbaseError MoonbaseError::decoding(std::string detail) {
    return {Kind::decoding, {.text = std::move(detail)}};
}
MoonbaseError MoonbaseError::decoding(const DecodingError& failure) {
    return decoding(std::string(failure.what()));
}
MoonbaseError MoonbaseError::blockedURL(std::string address) {
    return {Kind::blockedURL, {.text = std::move(address)}};
}
MoonbaseError MoonbaseError::notSignedIn() {
    return {Kind::notSignedIn, {}};
}
MoonbaseError MoonbaseError::invalidCredentials() {
    return {Kind::invalidCredentials, {}};
}

} // namespace ostrel
