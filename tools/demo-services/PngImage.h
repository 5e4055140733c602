#pragma once

#include "DemoCatalogue.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ostrel::demo {

// PNG pictures drawn at run time, so no image files live in the repository.
namespace PngImage {

constexpr int iconSize = 256;
constexpr int screenshotWidth = 1280;
constexpr int screenshotHeight = 800;

// Pixels (rows top to bottom, `channels` bytes a pixel: 3 for RGB, 4 for RGBA) as a PNG file.
// Throws std::invalid_argument when the pixels do not match the size.
std::string encode(int width, int height, const std::vector<uint8_t>& pixels, int channels = 3);

// A product icon: a rounded square shading through the colour, with one of several white
// motifs (`variant` picks it) and transparent corners.
std::string icon(Colour colour, unsigned variant, int size = iconSize);

// A stand-in screenshot: a plug-in window in the colour with a display and a row of knobs;
// `index` varies the display and the knobs so the screenshots of one product differ.
std::string screenshot(Colour colour, int index, int width = screenshotWidth, int height = screenshotHeight);

} // namespace PngImage
} // namespace ostrel::demo
