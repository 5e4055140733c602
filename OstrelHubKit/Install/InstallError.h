#pragma once

#include "Util/Error.h"

#include <cstdint>
#include <string>

namespace ostrel {

// Everything that can stop an install, each with the sentence a person sees.
// Build one with the factory named after its case; compare by case and payload.
class InstallError : public Error {
public:
    enum class Kind {
        unsafeArchive,
        tooLarge,
        toolFailed,
        sizeMismatch,
        appRunning,
        placementFailed,
        downgrade,
        occupied,
        untrustedContainer,
        unknownFormat,
        nothingToInstall,
    };

    // The payload of every case; fields a case does not use stay empty.
    struct Payload {
        std::string detail{};    // unsafeArchive, toolFailed, placementFailed, untrustedContainer
        std::string name{};      // toolFailed (the tool), appRunning, downgrade, occupied
        std::string installed{}; // downgrade
        std::string offered{};   // downgrade
        int64_t bytes = 0;       // tooLarge
        int64_t expected = 0;    // sizeMismatch
        int64_t actual = 0;      // sizeMismatch
        bool operator==(const Payload&) const = default;
    };

    static InstallError unsafeArchive(std::string detail);
    static InstallError tooLarge(int64_t bytes);
    static InstallError toolFailed(std::string tool, std::string detail);
    static InstallError sizeMismatch(int64_t expected, int64_t actual);
    static InstallError appRunning(std::string appName);
    static InstallError placementFailed(std::string detail);
    static InstallError downgrade(std::string name, std::string installed, std::string offered);
    static InstallError occupied(std::string name);
    static InstallError untrustedContainer(std::string detail);
    static InstallError unknownFormat();
    static InstallError nothingToInstall();

    Kind kind() const { return kind_; }
    const Payload& payload() const { return payload_; }

    bool operator==(const InstallError& other) const { return kind_ == other.kind_ && payload_ == other.payload_; }

private:
    InstallError(Kind kind, Payload payload);
    static std::string describe(Kind kind, const Payload& payload);

    Kind kind_;
    Payload payload_;
};

} // namespace ostrel
