#include "Services/TransportError.h"

namespace ostrel {

namespace {

std::string describe(TransportError::Kind kind, const std::string& host) {
    switch (kind) {
    case TransportError::Kind::cannotConnect:
        return "Could not connect to " + host + ". Check your internet connection.";
    case TransportError::Kind::timedOut:
        return "The request to " + host + " timed out.";
    case TransportError::Kind::notTrusted:
        return "The server " + host + " could not be trusted, so nothing was sent to it.";
    case TransportError::Kind::secureConnection:
        return "A secure connection to " + host + " could not be made.";
    case TransportError::Kind::tooLarge:
        return "The answer from " + host + " was too large, so the app stopped reading it.";
    case TransportError::Kind::unacceptable:
        return "The server " + host + " answered in a form the app does not accept.";
    case TransportError::Kind::failed:
        break;
    }
    return "The request to " + host + " failed.";
}

} // namespace

TransportError::TransportError(Kind kind, std::string host, std::string detail)
    : Error(describe(kind, host)), kind_(kind), host_(std::move(host)), detail_(std::move(detail)) {}

} // namespace ostrel
