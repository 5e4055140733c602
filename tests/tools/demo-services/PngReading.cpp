#include "PngReading.h"

#include <cstdlib>
#include <set>
#include <stdexcept>
#include <string>

#include <zlib.h>

namespace ostrel::demo {

namespace {

constexpr uint32_t largestSide = 8192;

uint32_t bigEndian(std::string_view bytes, size_t at) {
    if (at + 4 > bytes.size())
        throw std::runtime_error("the file ends inside a chunk");
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i)
        value = (value << 8) | static_cast<uint8_t>(bytes[at + i]);
    return value;
}

uint8_t paeth(int left, int up, int upLeft) {
    const int estimate = left + up - upLeft;
    const int toLeft = std::abs(estimate - left);
    const int toUp = std::abs(estimate - up);
    const int toUpLeft = std::abs(estimate - upLeft);
    if (toLeft <= toUp && toLeft <= toUpLeft)
        return static_cast<uint8_t>(left);
    return static_cast<uint8_t>(toUp <= toUpLeft ? up : upLeft);
}

// Undoes each row's filter in place; `raw` holds a filter byte before each row.
std::vector<uint8_t> unfiltered(const std::string& raw, size_t rowBytes, size_t rows, size_t pixelBytes) {
    std::vector<uint8_t> out(rowBytes * rows);
    for (size_t row = 0; row < rows; ++row) {
        const auto filter = static_cast<uint8_t>(raw[row * (rowBytes + 1)]);
        if (filter > 4)
            throw std::runtime_error("a row has the unknown filter " + std::to_string(filter));
        for (size_t i = 0; i < rowBytes; ++i) {
            const int value = static_cast<uint8_t>(raw[row * (rowBytes + 1) + 1 + i]);
            const int left = i >= pixelBytes ? out[row * rowBytes + i - pixelBytes] : 0;
            const int up = row > 0 ? out[(row - 1) * rowBytes + i] : 0;
            const int upLeft = row > 0 && i >= pixelBytes ? out[(row - 1) * rowBytes + i - pixelBytes] : 0;
            const int predictors[] = {0, left, up, (left + up) / 2, paeth(left, up, upLeft)};
            out[row * rowBytes + i] = static_cast<uint8_t>(value + predictors[filter]);
        }
    }
    return out;
}

void readHeader(std::string_view data, DecodedPng& png) {
    if (data.size() != 13)
        throw std::runtime_error("IHDR is not 13 bytes");
    const uint32_t width = bigEndian(data, 0);
    const uint32_t height = bigEndian(data, 4);
    if (width == 0 || height == 0 || width > largestSide || height > largestSide)
        throw std::runtime_error("the size " + std::to_string(width) + "x" + std::to_string(height) +
                                 " is not sensible");
    const auto colourType = static_cast<uint8_t>(data[9]);
    if (data[8] != 8 || (colourType != 2 && colourType != 6) || data[10] != 0 || data[11] != 0 || data[12] != 0)
        throw std::runtime_error("not an 8-bit, non-interlaced RGB or RGBA picture");
    png.width = static_cast<int>(width);
    png.height = static_cast<int>(height);
    png.channels = colourType == 6 ? 4 : 3;
}

} // namespace

size_t DecodedPng::distinctPixels() const {
    std::set<std::vector<uint8_t>> seen;
    for (size_t at = 0; at + static_cast<size_t>(channels) <= pixels.size(); at += static_cast<size_t>(channels))
        seen.emplace(pixels.begin() + static_cast<long>(at), pixels.begin() + static_cast<long>(at) + channels);
    return seen.size();
}

DecodedPng decodePng(std::string_view bytes) {
    if (!bytes.starts_with(std::string_view("\x89PNG\r\n\x1a\n", 8)))
        throw std::runtime_error("no PNG signature");
    DecodedPng png;
    std::string compressed;
    bool ended = false;
    for (size_t at = 8; !ended;) {
        const uint32_t length = bigEndian(bytes, at);
        if (at + 12 + length > bytes.size())
            throw std::runtime_error("a chunk runs past the end of the file");
        const auto typed = bytes.substr(at + 4, 4 + length);
        if (crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size())) !=
            bigEndian(bytes, at + 8 + length))
            throw std::runtime_error("the chunk " + std::string(typed.substr(0, 4)) + " has a wrong CRC");
        const auto type = typed.substr(0, 4);
        if (type == "IHDR")
            readHeader(typed.substr(4), png);
        else if (type == "IDAT")
            compressed += typed.substr(4);
        ended = type == "IEND";
        at += 12 + length;
    }
    if (png.width == 0)
        throw std::runtime_error("no IHDR");
    const size_t rowBytes = static_cast<size_t>(png.width) * static_cast<size_t>(png.channels);
    std::string raw((rowBytes + 1) * static_cast<size_t>(png.height), '\0');
    uLongf rawSize = raw.size();
    if (uncompress(reinterpret_cast<Bytef*>(raw.data()), &rawSize, reinterpret_cast<const Bytef*>(compressed.data()),
                   static_cast<uLong>(compressed.size())) != Z_OK ||
        rawSize != raw.size())
        throw std::runtime_error("the image data does not inflate to the picture's size");
    png.pixels = unfiltered(raw, rowBytes, static_cast<size_t>(png.height), static_cast<size_t>(png.channels));
    return png;
}

} // namespace ostrel::demo
