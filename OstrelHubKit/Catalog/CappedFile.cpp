#include "Catalog/CappedFile.h"

#include <fstream>
#include <system_error>

namespace ostrel::CappedFile {

std::optional<std::string> read(const std::filesystem::path& file, std::size_t maxBytes) {
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error); // fails for anything but a regular file
    if (error || size > maxBytes)
        return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    std::string content(size, '\0');
    in.read(content.data(), static_cast<std::streamsize>(size));
    // A file that changed size while we read it is not the one we measured.
    if (!in || in.peek() != std::ifstream::traits_type::eof())
        return std::nullopt;
    return content;
}

} // namespace ostrel::CappedFile
