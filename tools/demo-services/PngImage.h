#pragma once

#include "DemoCatalogue.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ostrel::demo {

// Small PNG pictures drawn at run time, so no image files live in the repository.
namespace PngImage {

// An RGB image (3 bytes a pixel, rows top to bottom) as a PNG file. Throws std::invalid_argument
// when the pixels do not match the size.
std::string encode(int width, int height, const std::vector<uint8_t>& rgb);

// A product icon: a rounded square shading from the colour to a lighter tone.
std::string icon(Colour colour, int size = 128);

// A stand-in screenshot: a window with a title bar and a few panels in the colour; `index`
// varies the layout so the screenshots of one product differ.
std::string screenshot(Colour colour, int index, int width = 640, int height = 400);

} // namespace PngImage
} // namespace ostrel::demo
