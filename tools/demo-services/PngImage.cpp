#include "PngImage.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include <zlib.h>

namespace ostrel::demo::PngImage {

namespace {

void appendBigEndian(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xff);
}

void appendChunk(std::string& out, const char* type, const std::string& data) {
    appendBigEndian(out, static_cast<uint32_t>(data.size()));
    const std::string typed = std::string(type, 4) + data;
    out += typed;
    appendBigEndian(out, static_cast<uint32_t>(
                             crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()))));
}

uint8_t lighten(uint8_t channel, double amount) {
    return static_cast<uint8_t>(std::clamp(channel + (255 - channel) * amount, 0.0, 255.0));
}

struct Canvas {
    int width;
    int height;
    std::vector<uint8_t> rgb;

    Canvas(int w, int h, Colour fill) : width(w), height(h), rgb(static_cast<size_t>(w * h * 3)) {
        rect(0, 0, w, h, fill);
    }
    void set(int x, int y, Colour colour) {
        const auto at = static_cast<size_t>((y * width + x) * 3);
        std::copy(colour.begin(), colour.end(), rgb.begin() + static_cast<long>(at));
    }
    void rect(int x0, int y0, int x1, int y1, Colour colour) {
        for (int y = std::max(0, y0); y < std::min(height, y1); ++y)
            for (int x = std::max(0, x0); x < std::min(width, x1); ++x)
                set(x, y, colour);
    }
};

Colour lighter(Colour colour, double amount) {
    return {lighten(colour[0], amount), lighten(colour[1], amount), lighten(colour[2], amount)};
}

} // namespace

std::string encode(int width, int height, const std::vector<uint8_t>& rgb) {
    if (width <= 0 || height <= 0 || rgb.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 3)
        throw std::invalid_argument("pixels do not match the image size");
    std::string raw;
    const auto rowBytes = static_cast<size_t>(width) * 3;
    for (size_t row = 0; row < static_cast<size_t>(height); ++row) {
        raw += '\0'; // filter type: none
        raw.append(reinterpret_cast<const char*>(rgb.data() + row * rowBytes), rowBytes);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
                  static_cast<uLong>(raw.size()), Z_BEST_COMPRESSION) != Z_OK)
        throw std::runtime_error("zlib could not compress the image");
    packed.resize(packedSize);

    std::string header;
    appendBigEndian(header, static_cast<uint32_t>(width));
    appendBigEndian(header, static_cast<uint32_t>(height));
    header += std::string{8, 2, 0, 0, 0}; // 8 bits a channel, RGB, deflate, no filter choice, no interlace

    std::string png("\x89PNG\r\n\x1a\n", 8);
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", packed);
    appendChunk(png, "IEND", "");
    return png;
}

std::string icon(Colour colour, int size) {
    Canvas canvas(size, size, {255, 255, 255});
    const double radius = size * 0.22;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            // Distance outside the rounded corners decides whether the pixel is part of the square.
            const double dx = std::max({radius - x, x - (size - 1 - radius), 0.0});
            const double dy = std::max({radius - y, y - (size - 1 - radius), 0.0});
            if (dx * dx + dy * dy <= radius * radius)
                canvas.set(x, y, lighter(colour, 0.45 * y / size));
        }
    canvas.rect(size * 3 / 10, size * 3 / 10, size * 7 / 10, size * 7 / 10, lighter(colour, 0.8));
    return encode(size, size, canvas.rgb);
}

std::string screenshot(Colour colour, int index, int width, int height) {
    Canvas canvas(width, height, {236, 238, 242});
    canvas.rect(0, 0, width, height / 14, {210, 213, 219});
    const int panels = 2 + index % 3;
    const int gap = width / 40;
    const int panelWidth = (width - gap * (panels + 1)) / panels;
    for (int i = 0; i < panels; ++i) {
        const int x = gap + i * (panelWidth + gap);
        const int top = height / 14 + gap + (i * 37 + index * 23) % (height / 4);
        canvas.rect(x, top, x + panelWidth, height - gap, lighter(colour, 0.15 * i));
    }
    return encode(width, height, canvas.rgb);
}

} // namespace ostrel::demo::PngImage
