#include "Services/DecodingError.h"

#include <utility>

namespace ostrel {

namespace {

std::string describe(const std::string& path, const std::string& reason) {
    return reason + " at " + (path.empty() ? std::string("the top level") : path) + ".";
}

} // namespace

DecodingError::DecodingError(std::string path, std::string reason)
    : DecodingError(std::move(path), std::move(reason), {}) {}

DecodingError::DecodingError(std::string path, std::string reason, const std::string& message)
    : std::runtime_error(message.empty() ? describe(path, reason) : message), path_(std::move(path)),
      reason_(std::move(reason)) {}

DecodingError DecodingError::notJson(std::size_t byte) {
    return {{}, "Not valid JSON", "Not valid JSON at byte " + std::to_string(byte) + "."};
}

} // namespace ostrel
