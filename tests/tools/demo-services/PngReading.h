#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace ostrel::demo {

// A PNG file's pixels, 8 bits a channel.
struct DecodedPng {
    int width = 0;
    int height = 0;
    int channels = 0; // 3 for RGB, 4 for RGBA
    std::vector<uint8_t> pixels;

    // How many different pixel values the picture holds: 1 for a blank one.
    size_t distinctPixels() const;
};

// Reads an 8-bit RGB or RGBA PNG as any viewer would: the signature, every chunk's CRC, the
// header, the inflated size and each row's filter are checked. Throws std::runtime_error
// saying what is wrong.
DecodedPng decodePng(std::string_view bytes);

} // namespace ostrel::demo
