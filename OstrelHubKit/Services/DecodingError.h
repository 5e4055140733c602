#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace ostrel {

// A service answer (or a file we wrote ourselves) that does not have the shape
// of the record we expected. It names the place in the document that broke, so
// the store client can pass the sentence on unchanged ("Missing value at
// products[2].name.").
class DecodingError : public std::runtime_error {
public:
    // `path` uses dots between keys and [i] for list positions; empty is the top level.
    DecodingError(std::string path, std::string reason);

    // The text was not JSON at all; `byte` is where the parser gave up.
    static DecodingError notJson(std::size_t byte);

    const std::string& path() const { return path_; }
    const std::string& reason() const { return reason_; }

    bool operator==(const DecodingError& other) const { return path_ == other.path_ && reason_ == other.reason_; }

private:
    DecodingError(std::string path, std::string reason, const std::string& message);

    std::string path_;
    std::string reason_;
};

} // namespace ostrel
