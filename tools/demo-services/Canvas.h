#pragma once

#include "DemoCatalogue.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace ostrel::demo {

// A picture of RGBA pixels drawn with smooth-edged shapes. A shape is a distance function
// (negative inside, in pixels), so its edge pixels take its colour in proportion to how much of
// them it covers.
class Canvas {
public:
    using Distance = std::function<double(double x, double y)>;
    using Paint = std::function<Colour(double x, double y)>;
    struct Box {
        int left, top, right, bottom; // pixels with left <= x < right and top <= y < bottom
    };

    Canvas(int width, int height, Colour background, uint8_t alpha = 255);

    int width() const { return width_; }
    int height() const { return height_; }
    Box whole() const { return {0, 0, width_, height_}; }

    // Paints the pixels of `within` that `shape` covers, with `paint` at `opacity` over what is there.
    void fill(Box within, const Distance& shape, const Paint& paint, double opacity = 1.0);
    void fill(Box within, const Distance& shape, Colour colour, double opacity = 1.0);
    // Paints every pixel of `within`.
    void paint(Box within, const Paint& paint);

    const std::vector<uint8_t>& rgba() const { return pixels_; }
    std::vector<uint8_t> rgb() const;

private:
    void blend(int x, int y, Colour colour, double amount);

    int width_;
    int height_;
    std::vector<uint8_t> pixels_;
};

// Distances to common shapes (negative inside).
double circleDistance(double x, double y, double centreX, double centreY, double radius);
double roundedBoxDistance(double x, double y, Canvas::Box box, double radius);
// A line from (ax, ay) to (bx, by) drawn `width` wide with round ends.
double strokeDistance(double x, double y, double ax, double ay, double bx, double by, double width);

// `a` when `t` is 0, `b` when it is 1, and between them in between.
Colour mixed(Colour a, Colour b, double t);
constexpr Colour white{255, 255, 255};
constexpr Colour black{0, 0, 0};

} // namespace ostrel::demo
