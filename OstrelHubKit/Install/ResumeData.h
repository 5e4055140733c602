#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// What a stopped download needs to continue: the address actually fetched
// (after redirects), the partial file beside the destination, how many bytes
// it holds, and the server's validator and total, so that bytes of two
// different files are never joined. We write and read it ourselves.
struct ResumeData {
    // Far more than any we write; larger data is not ours.
    static constexpr std::size_t maxBytes = 16 * 1024;

    std::string url;
    std::string partialName; // a file name in the destination's folder
    int64_t received = 0;
    std::string validator; // a strong ETag, else Last-Modified
    int64_t total = -1;    // as the server announced it; -1 when unknown

    std::string encode() const;
    // Nothing for data that is damaged, of another form, or names a file
    // outside `folder`; such data is ignored and the download starts over.
    static std::optional<ResumeData> decode(std::string_view text, const std::filesystem::path& folder);
    bool operator==(const ResumeData&) const = default;
};

} // namespace ostrel
