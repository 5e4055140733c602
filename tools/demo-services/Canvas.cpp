#include "Canvas.h"

#include <algorithm>
#include <cmath>

namespace ostrel::demo {

Canvas::Canvas(int width, int height, Colour background, uint8_t alpha)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * static_cast<size_t>(height) * 4) {
    for (size_t at = 0; at < pixels_.size(); at += 4) {
        std::copy(background.begin(), background.end(), pixels_.begin() + static_cast<long>(at));
        pixels_[at + 3] = alpha;
    }
}

void Canvas::blend(int x, int y, Colour colour, double amount) {
    auto* pixel = &pixels_[(static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)) * 4];
    const double below = pixel[3] / 255.0;
    const double alpha = amount + below * (1 - amount);
    if (alpha <= 0)
        return;
    for (int channel = 0; channel < 3; ++channel)
        pixel[channel] = static_cast<uint8_t>(
            std::lround((colour[channel] * amount + pixel[channel] * below * (1 - amount)) / alpha));
    pixel[3] = static_cast<uint8_t>(std::lround(alpha * 255));
}

void Canvas::fill(Box within, const Distance& shape, const Paint& paint, double opacity) {
    for (int y = std::max(0, within.top); y < std::min(height_, within.bottom); ++y)
        for (int x = std::max(0, within.left); x < std::min(width_, within.right); ++x) {
            const double px = x + 0.5;
            const double py = y + 0.5;
            // A pixel whose centre lies on the edge is half covered.
            const double covered = std::clamp(0.5 - shape(px, py), 0.0, 1.0);
            if (covered > 0)
                blend(x, y, paint(px, py), covered * opacity);
        }
}

void Canvas::fill(Box within, const Distance& shape, Colour colour, double opacity) {
    fill(
        within, shape, [colour](double, double) { return colour; }, opacity);
}

void Canvas::paint(Box within, const Paint& paint) {
    for (int y = std::max(0, within.top); y < std::min(height_, within.bottom); ++y)
        for (int x = std::max(0, within.left); x < std::min(width_, within.right); ++x)
            blend(x, y, paint(x + 0.5, y + 0.5), 1.0);
}

std::vector<uint8_t> Canvas::rgb() const {
    std::vector<uint8_t> out;
    out.reserve(pixels_.size() / 4 * 3);
    for (size_t at = 0; at < pixels_.size(); at += 4)
        out.insert(out.end(), pixels_.begin() + static_cast<long>(at), pixels_.begin() + static_cast<long>(at) + 3);
    return out;
}

double circleDistance(double x, double y, double centreX, double centreY, double radius) {
    return std::hypot(x - centreX, y - centreY) - radius;
}

double roundedBoxDistance(double x, double y, Canvas::Box box, double radius) {
    const double halfWidth = (box.right - box.left) / 2.0;
    const double halfHeight = (box.bottom - box.top) / 2.0;
    const double qx = std::abs(x - (box.left + halfWidth)) - (halfWidth - radius);
    const double qy = std::abs(y - (box.top + halfHeight)) - (halfHeight - radius);
    return std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - radius;
}

double strokeDistance(double x, double y, double ax, double ay, double bx, double by, double width) {
    const double dx = bx - ax;
    const double dy = by - ay;
    const double length = dx * dx + dy * dy;
    const double t = length > 0 ? std::clamp(((x - ax) * dx + (y - ay) * dy) / length, 0.0, 1.0) : 0.0;
    return std::hypot(x - (ax + t * dx), y - (ay + t * dy)) - width / 2;
}

Colour mixed(Colour a, Colour b, double t) {
    Colour out{};
    for (size_t channel = 0; channel < 3; ++channel)
        out[channel] =
            static_cast<uint8_t>(std::lround(a[channel] + (b[channel] - a[channel]) * std::clamp(t, 0.0, 1.0)));
    return out;
}

} // namespace ostrel::demo
