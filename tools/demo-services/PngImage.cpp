#include "PngImage.h"

#include "Canvas.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <vector>

#include <zlib.h>

namespace ostrel::demo::PngImage {

namespace {

using Box = Canvas::Box;
constexpr double pi = std::numbers::pi;
constexpr unsigned motifCount = 6;

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

std::string deflated(const std::string& raw) {
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
                  static_cast<uLong>(raw.size()), Z_DEFAULT_COMPRESSION) != Z_OK)
        throw std::runtime_error("zlib could not compress the image");
    packed.resize(packedSize);
    return packed;
}

// The icon's motif, white on the square: a ring, a wave, level bars, a play sign, a knob or dots.
void drawMotif(Canvas& canvas, unsigned variant, double s) {
    const Box all = canvas.whole();
    const double c = s / 2;
    const auto stroke = [&](double ax, double ay, double bx, double by, double width) {
        canvas.fill(
            all, [=](double x, double y) { return strokeDistance(x, y, ax, ay, bx, by, width); }, white, 0.92);
    };
    switch (variant % motifCount) {
    case 0: // a ring with a dot
        canvas.fill(
            all, [=](double x, double y) { return std::abs(circleDistance(x, y, c, c, s * 0.22)) - s * 0.04; }, white,
            0.92);
        canvas.fill(
            all, [=](double x, double y) { return circleDistance(x, y, c, c, s * 0.07); }, white, 0.92);
        break;
    case 1: // a wave
        canvas.fill(
            all,
            [=](double x, double y) {
                const double phase = (x - s * 0.2) / (s * 0.6) * 2 * pi;
                const double slope = s * 0.14 * std::cos(phase) * 2 * pi / (s * 0.6);
                const double across = std::abs(y - (c - s * 0.14 * std::sin(phase))) / std::hypot(1.0, slope);
                return std::max(across - s * 0.035, std::abs(x - c) - s * 0.3);
            },
            white, 0.92);
        break;
    case 2: // level bars
        for (int i = 0; i < 5; ++i) {
            const double x = s * (0.26 + 0.12 * i);
            const double top = s * (0.62 - 0.08 * std::abs(std::sin(i * 1.7 + 0.6)) * 4);
            stroke(x, s * 0.72, x, top, s * 0.075);
        }
        break;
    case 3: { // a play sign: inside every edge of the triangle
        const std::array<double, 3> xs{s * 0.38, s * 0.38, s * 0.74};
        const std::array<double, 3> ys{s * 0.28, s * 0.72, s * 0.5};
        canvas.fill(
            all,
            [=](double x, double y) {
                double distance = -s;
                for (size_t i = 0; i < 3; ++i) {
                    const double ex = xs[(i + 1) % 3] - xs[i];
                    const double ey = ys[(i + 1) % 3] - ys[i];
                    distance = std::max(distance, (ex * (y - ys[i]) - ey * (x - xs[i])) / std::hypot(ex, ey));
                }
                return distance;
            },
            white, 0.92);
        break;
    }
    case 4: // a knob
        canvas.fill(
            all, [=](double x, double y) { return std::abs(circleDistance(x, y, c, c, s * 0.24)) - s * 0.03; }, white,
            0.92);
        stroke(c, c, c + s * 0.15, c - s * 0.15, s * 0.06);
        break;
    default: // dots
        for (int i = 0; i < 9; ++i) {
            const double x = s * (0.32 + 0.18 * (i % 3));
            const double y = s * (0.32 + 0.18 * (i / 3));
            const double r = s * (i % 2 ? 0.045 : 0.065);
            canvas.fill(
                all, [=](double px, double py) { return circleDistance(px, py, x, y, r); }, white, 0.92);
        }
    }
}

// The title bar with its three buttons, and the sidebar with a list, one row picked.
void drawWindow(Canvas& canvas, Colour colour, int index) {
    const int w = canvas.width();
    const int h = canvas.height();
    canvas.paint(canvas.whole(), [h](double, double y) { return mixed({34, 36, 42}, {22, 24, 28}, y / h); });
    canvas.paint({0, 0, w, 48}, [](double, double) { return Colour{46, 49, 56}; });
    const Colour buttons[] = {{255, 95, 86}, {255, 189, 46}, {39, 201, 63}};
    for (int i = 0; i < 3; ++i)
        canvas.fill(
            {0, 0, 100, 48}, [i](double x, double y) { return circleDistance(x, y, 26.0 + 24 * i, 24, 7); },
            buttons[i]);
    canvas.paint({0, 48, 220, h}, [colour](double, double) { return mixed(colour, black, 0.6); });
    for (int row = 0; row < 7; ++row) {
        const Box line{20, 80 + row * 52, 200, 112 + row * 52};
        canvas.fill(
            line, [line](double x, double y) { return roundedBoxDistance(x, y, line, 8); },
            row == index % 7 ? colour : mixed(colour, black, 0.4), row == index % 7 ? 1.0 : 0.7);
    }
}

// Level bars shading from the colour at the foot to a lighter tone at the top.
void drawSpectrum(Canvas& canvas, Colour colour, Box inner) {
    constexpr int bars = 32;
    const double step = (inner.right - inner.left) / static_cast<double>(bars);
    const double height = inner.bottom - inner.top;
    for (int i = 0; i < bars; ++i) {
        const double level = 0.2 + 0.7 * std::abs(std::sin(i * 0.37 + 1)) * (1 - 0.5 * i / bars);
        const Box bar{inner.left + static_cast<int>(i * step) + 3, inner.bottom - static_cast<int>(level * height),
                      inner.left + static_cast<int>((i + 1) * step) - 3, inner.bottom};
        canvas.fill(
            bar, [bar](double x, double y) { return roundedBoxDistance(x, y, bar, 4); },
            [=](double, double y) { return mixed(colour, white, (inner.bottom - y) / height * 0.6); });
    }
}

// The display: a waveform, a spectrum or an equaliser curve, by `index`.
void drawDisplay(Canvas& canvas, Colour colour, int index, Box display) {
    canvas.fill(
        display, [display](double x, double y) { return roundedBoxDistance(x, y, display, 14); }, Colour{14, 16, 20});
    const Box inner{display.left + 16, display.top + 16, display.right - 16, display.bottom - 16};
    if (index % 3 == 1)
        return drawSpectrum(canvas, colour, inner);
    const double mid = (display.top + display.bottom) / 2.0;
    const double height = (display.bottom - display.top) * 0.38;
    const double width = display.right - display.left;
    const auto curve = [&](double x) {
        const double t = (x - display.left) / width;
        if (index % 3 == 0)
            return mid - height * std::sin(t * 2 * pi * 6) * std::sin(t * pi) * (0.6 + 0.4 * std::cos(t * 17));
        return mid -
               height * (0.7 * std::exp(-std::pow((t - 0.3) * 7, 2)) - 0.5 * std::exp(-std::pow((t - 0.7) * 9, 2)));
    };
    // The curve at each column's middle and edges, worked out once rather than for every pixel.
    std::vector<double> middles;
    std::vector<double> edges;
    for (int x = inner.left; x <= inner.right; ++x) {
        middles.push_back(curve(x + 0.5));
        edges.push_back(curve(x));
    }
    const auto column = [left = inner.left](double x) { return static_cast<size_t>(x - left); };
    canvas.fill(
        inner, [&](double x, double y) { return middles[column(x)] - y; }, colour, 0.22); // the area below
    // The distance across the line, not straight down, so steep parts keep their width.
    const auto across = [&](double x, double y) {
        const size_t at = column(x);
        return std::abs(y - middles[at]) / std::hypot(1.0, edges[at + 1] - edges[at]) - 2.5;
    };
    canvas.fill(inner, across, mixed(colour, white, 0.3));
}

void drawKnobs(Canvas& canvas, Colour colour, int index, Box row) {
    const int count = 4 + index % 3;
    const double step = (row.right - row.left) / static_cast<double>(count);
    const double cy = (row.top + row.bottom) / 2.0;
    for (int i = 0; i < count; ++i) {
        const double cx = row.left + step * (i + 0.5);
        const double angle = pi * (0.75 + 1.5 * std::fmod(0.23 * (i + 1) * (index + 2), 1.0));
        const Box knob{static_cast<int>(cx) - 50, static_cast<int>(cy) - 50, static_cast<int>(cx) + 50,
                       static_cast<int>(cy) + 50};
        canvas.fill(
            knob, [=](double x, double y) { return circleDistance(x, y, cx, cy, 44); }, Colour{48, 51, 58});
        canvas.fill(
            knob, [=](double x, double y) { return std::abs(circleDistance(x, y, cx, cy, 44)) - 3; }, colour);
        canvas.fill(
            knob,
            [=](double x, double y) {
                return strokeDistance(x, y, cx, cy, cx + 32 * std::cos(angle), cy + 32 * std::sin(angle), 6);
            },
            white);
    }
}

} // namespace

std::string encode(int width, int height, const std::vector<uint8_t>& pixels, int channels) {
    if (width <= 0 || height <= 0 || (channels != 3 && channels != 4) ||
        pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * static_cast<size_t>(channels))
        throw std::invalid_argument("pixels do not match the image size");
    std::string raw;
    const auto rowBytes = static_cast<size_t>(width) * static_cast<size_t>(channels);
    for (size_t row = 0; row < static_cast<size_t>(height); ++row) {
        raw += '\0'; // filter type: none
        raw.append(reinterpret_cast<const char*>(pixels.data() + row * rowBytes), rowBytes);
    }
    std::string header;
    appendBigEndian(header, static_cast<uint32_t>(width));
    appendBigEndian(header, static_cast<uint32_t>(height));
    // 8 bits a channel, RGB or RGBA, deflate, no filter choice, no interlace
    header += std::string{8, static_cast<char>(channels == 4 ? 6 : 2), 0, 0, 0};

    std::string png("\x89PNG\r\n\x1a\n", 8);
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", deflated(raw));
    appendChunk(png, "IEND", "");
    return png;
}

std::string icon(Colour colour, unsigned variant, int size) {
    Canvas canvas(size, size, colour, 0);
    const double s = size;
    const Box square{2, 2, size - 2, size - 2};
    const auto inside = [square, s](double x, double y) { return roundedBoxDistance(x, y, square, s * 0.22); };
    const Colour light = mixed(colour, white, 0.3);
    const Colour dark = mixed(colour, black, 0.25);
    canvas.fill(canvas.whole(), inside, [=](double x, double y) { return mixed(light, dark, (x + y) / (2 * s)); });
    // A soft sheen over the upper half, kept inside the square.
    canvas.fill(
        canvas.whole(),
        [=](double x, double y) { return std::max(inside(x, y), circleDistance(x, y, s * 0.5, -s * 0.45, s * 0.85)); },
        white, 0.12);
    drawMotif(canvas, variant, s);
    return encode(size, size, canvas.rgba(), 4);
}

std::string screenshot(Colour colour, int index, int width, int height) {
    Canvas canvas(width, height, {22, 24, 28});
    drawWindow(canvas, colour, index);
    drawDisplay(canvas, colour, index, {250, 80, width - 30, height * 62 / 100});
    drawKnobs(canvas, colour, index, {250, height * 62 / 100 + 20, width - 30, height - 30});
    return encode(width, height, canvas.rgb());
}

} // namespace ostrel::demo::PngImage
