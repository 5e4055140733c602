#pragma once

#include "Util/Error.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ostrel {

class DecodingError;

// The error of every store and identity operation, with the sentence banners show. Both clients
// share the type; each sentence names the service that answered. Build one with the factory
// named after its case; compare by case, payload and service.
class MoonbaseError : public Error {
public:
    enum class Service { store, identity };

    enum class Kind {
        notFound,
        forbidden,
        server,
        decoding,
        blockedURL,
        notSignedIn,
        invalidCredentials,
        unexpectedAnswer, // a status the operation does not expect, such as a redirect
    };

    // The payload of every case; fields a case does not use stay empty.
    struct Payload {
        std::string text{}; // notFound (what), forbidden (message), server/decoding (detail), blockedURL (address)
        int64_t status = 0; // server, unexpectedAnswer
        bool operator==(const Payload&) const = default;
    };

    // Characters of outside text (a service's words, an address it sent) kept in a sentence;
    // longer text is cut at a character boundary and ends in "…". The log has the rest.
    static constexpr std::size_t maxTextCharacters = 300;

    static MoonbaseError notFound(std::string what);
    static MoonbaseError forbidden(std::string message);
    static MoonbaseError server(int64_t status, std::string detail, Service service = Service::store);
    static MoonbaseError decoding(std::string detail, Service service = Service::store);
    // A body that did not have the expected shape, with the place that broke.
    static MoonbaseError decoding(const DecodingError& failure, Service service = Service::store);
    static MoonbaseError blockedURL(std::string address);
    static MoonbaseError notSignedIn();
    static MoonbaseError invalidCredentials(Service service = Service::store);
    static MoonbaseError unexpectedAnswer(int64_t status, Service service = Service::store);

    Kind kind() const { return kind_; }
    const Payload& payload() const { return payload_; }
    Service service() const { return service_; }

    bool operator==(const MoonbaseError& other) const {
        return kind_ == other.kind_ && payload_ == other.payload_ && service_ == other.service_;
    }

private:
    MoonbaseError(Kind kind, Payload payload, Service service = Service::store);
    static std::string describe(Kind kind, const Payload& payload, Service service);

    Kind kind_;
    Payload payload_;
    Service service_;
};

// Logs `detail` under the category of the error's service, then throws the error.
[[noreturn]] void throwLogged(const MoonbaseError& error, std::string_view detail);

} // namespace ostrel
