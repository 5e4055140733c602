#pragma once

#include "Util/Error.h"

#include <cstdint>
#include <string>

namespace ostrel {

class DecodingError;

// The error of every store and identity operation, with the sentence banners
// show. Build one with the factory named after its case; compare by case and
// payload.
class MoonbaseError : public Error {
public:
    enum class Kind {
        notFound,
        forbidden,
        server,
        decoding,
        blockedURL,
        notSignedIn,
        invalidCredentials,
    };

    // The payload of every case; fields a case does not use stay empty.
    struct Payload {
        std::string text{}; // notFound (what), forbidden (message), server/decoding (detail), blockedURL (address)
        int64_t status = 0; // server
        bool operator==(const Payload&) const = default;
    };

    static MoonbaseError notFound(std::string what);
    static MoonbaseError forbidden(std::string message);
    static MoonbaseError server(int64_t status, std::string detail);
    static MoonbaseError decoding(std::string detail);
    // A body that did not have the expected shape, with the place that broke.
    static MoonbaseError decoding(const DecodingError& failure);
    static MoonbaseError blockedURL(std::string address);
    static MoonbaseError notSignedIn();
    static MoonbaseError invalidCredentials();

    Kind kind() const { return kind_; }
    const Payload& payload() const { return payload_; }

    bool operator==(const MoonbaseError& other) const { return kind_ == other.kind_ && payload_ == other.payload_; }

private:
    MoonbaseError(Kind kind, Payload payload);
    static std::string describe(Kind kind, const Payload& payload);

    Kind kind_;
    Payload payload_;
};

} // namespace ostrel
