#include "Install/InstallError.h"

#include "Util/ByteCount.h"

#include <utility>

namespace ostrel {

InstallError::InstallError(Kind kind, Payload payload)
    : Error(describe(kind, payload)), kind_(kind), payload_(std::move(payload)) {}

std::string InstallError::describe(Kind kind, const Payload& p) {
    switch (kind) {
    case Kind::unsafeArchive:
        return "The download was refused: " + p.detail + ".";
    case Kind::tooLarge:
        return "The download expands to " + formatFileByteCount(p.bytes) + ", over the limit.";
    case Kind::toolFailed:
        return p.name + " failed: " + p.detail;
    case Kind::sizeMismatch:
        return "The download is " + std::to_string(p.actual) + " bytes; the store said " + std::to_string(p.expected) +
               ". Discarded.";
    case Kind::appRunning:
        return "Quit " + p.name + " first, then install again.";
    case Kind::placementFailed:
        return "Could not put the files in place: " + p.detail;
    case Kind::downgrade:
        return p.name + " " + p.offered + " is older than the installed " + p.installed +
               ". Refused, so an old release cannot replace a newer one.";
    case Kind::occupied:
        return "Something that is not this Ostrel product is already installed as " + p.name +
               ". Nothing was replaced. Move it aside to install.";
    case Kind::untrustedContainer:
        return "The download's own signature was refused: " + p.detail + ".";
    case Kind::unknownFormat:
        return "The download is not a package, disk image or zip archive.";
    case Kind::nothingToInstall:
        return "The download contains no Mac app or plug-in.";
    }
    return {};
}

InstallError InstallError::unsafeArchive(std::string detail) {
    return {Kind::unsafeArchive, {.detail = std::move(detail)}};
}
InstallError InstallError::tooLarge(int64_t bytes) {
    return {Kind::tooLarge, {.bytes = bytes}};
}
InstallError InstallError::toolFailed(std::string tool, std::string detail) {
    return {Kind::toolFailed, {.detail = std::move(detail), .name = std::move(tool)}};
}
InstallError InstallError::sizeMismatch(int64_t expected, int64_t actual) {
    return {Kind::sizeMismatch, {.expected = expected, .actual = actual}};
}
InstallError InstallError::appRunning(std::string appName) {
    return {Kind::appRunning, {.name = std::move(appName)}};
}
InstallError InstallError::placementFailed(std::string detail) {
    return {Kind::placementFailed, {.detail = std::move(detail)}};
}
InstallError InstallError::downgrade(std::string name, std::string installed, std::string offered) {
    return {Kind::downgrade,
            {.name = std::move(name), .installed = std::move(installed), .offered = std::move(offered)}};
}
InstallError InstallError::occupied(std::string name) {
    return {Kind::occupied, {.name = std::move(name)}};
}
InstallError InstallError::untrustedContainer(std::string detail) {
    return {Kind::untrustedContainer, {.detail = std::move(detail)}};
}
InstallError InstallError::unknownFormat() {
    return {Kind::unknownFormat, {}};
}
InstallError InstallError::nothingToInstall() {
    return {Kind::nothingToInstall, {}};
}

} // namespace ostrel
