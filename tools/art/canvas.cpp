#include "tools/art/canvas.h"

#include <algorithm>
#include <cstdlib>

namespace art {

Colour Mix(Colour from, Colour to, int weight, int outOf) {
    auto channel = [&](int a, int b) {
        return static_cast<uint8_t>((a * (outOf - weight) + b * weight) / outOf);
    };
    return Colour{channel(from.r, to.r), channel(from.g, to.g), channel(from.b, to.b)};
}

Canvas::Canvas(int width, int height, Colour fill)
    : width(width), height(height), pixels(static_cast<std::size_t>(width) * height, fill) {}

void Canvas::Set(int x, int y, Colour colour) {
    if (Contains(x, y)) {
        pixels[static_cast<std::size_t>(y) * width + x] = colour;
    }
}

void Canvas::Blend(int x, int y, Colour colour, int alpha) {
    if (!Contains(x, y) || alpha <= 0) {
        return;
    }
    Colour& pixel = pixels[static_cast<std::size_t>(y) * width + x];
    pixel = alpha >= 255 ? colour : Mix(pixel, colour, alpha, 255);
}

void Canvas::Fill(Colour colour) {
    std::fill(pixels.begin(), pixels.end(), colour);
}

void Canvas::FillRect(int x, int y, int w, int h, Colour colour) {
    for (int row = std::max(0, y); row < std::min(height, y + h); ++row) {
        for (int column = std::max(0, x); column < std::min(width, x + w); ++column) {
            pixels[static_cast<std::size_t>(row) * width + column] = colour;
        }
    }
}

void Canvas::BlendRect(int x, int y, int w, int h, Colour colour, int alpha) {
    for (int row = y; row < y + h; ++row) {
        for (int column = x; column < x + w; ++column) {
            Blend(column, row, colour, alpha);
        }
    }
}

void Canvas::Frame(int x, int y, int w, int h, Colour colour) {
    FillRect(x, y, w, 1, colour);
    FillRect(x, y + h - 1, w, 1, colour);
    FillRect(x, y, 1, h, colour);
    FillRect(x + w - 1, y, 1, h, colour);
}

void Canvas::Line(int x1, int y1, int x2, int y2, Colour colour) {
    const int dx = std::abs(x2 - x1);
    const int dy = -std::abs(y2 - y1);
    const int stepX = x1 < x2 ? 1 : -1;
    const int stepY = y1 < y2 ? 1 : -1;
    int error = dx + dy;
    while (true) {
        Set(x1, y1, colour);
        if (x1 == x2 && y1 == y2) {
            break;
        }
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x1 += stepX;
        }
        if (twice <= dx) {
            error += dx;
            y1 += stepY;
        }
    }
}

void Canvas::FillEllipse(int cx, int cy, int rx, int ry, Colour colour) {
    if (rx <= 0 || ry <= 0) {
        return;
    }
    for (int dy = -ry; dy <= ry; ++dy) {
        for (int dx = -rx; dx <= rx; ++dx) {
            // Inside when (dx/rx)^2 + (dy/ry)^2 <= 1, in whole numbers.
            const long lhs = static_cast<long>(dx) * dx * ry * ry + static_cast<long>(dy) * dy * rx * rx;
            if (lhs <= static_cast<long>(rx) * rx * ry * ry) {
                Set(cx + dx, cy + dy, colour);
            }
        }
    }
}

void Canvas::DitherGradient(int x, int y, int w, int h, Colour top, Colour bottom) {
    static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    const int bands = 8;
    for (int row = 0; row < h; ++row) {
        // Position in bands, in sixteenths, so the dither picks between neighbours.
        const int position = h > 1 ? row * bands * 16 / (h - 1) : 0;
        const int band = std::min(position / 16, bands);
        const int fraction = position % 16;
        for (int column = 0; column < w; ++column) {
            const int chosen = (fraction > bayer[(y + row) & 3][(x + column) & 3]) ? band + 1 : band;
            Set(x + column, y + row, Mix(top, bottom, std::min(chosen, bands), bands));
        }
    }
}

void Canvas::Blit(const Canvas& source, int x, int y, int scale, bool keyed, Colour key) {
    for (int row = 0; row < source.height; ++row) {
        for (int column = 0; column < source.width; ++column) {
            const Colour colour = source.At(column, row);
            if (keyed && colour == key) {
                continue;
            }
            FillRect(x + column * scale, y + row * scale, scale, scale, colour);
        }
    }
}

Canvas Canvas::Cut(int x, int y, int w, int h) const {
    Canvas part(w, h, Magenta);
    for (int row = 0; row < h; ++row) {
        for (int column = 0; column < w; ++column) {
            if (Contains(x + column, y + row)) {
                part.Set(column, row, At(x + column, y + row));
            }
        }
    }
    return part;
}

Canvas Canvas::Scaled(int factor) const {
    Canvas result(width * factor, height * factor);
    result.Blit(*this, 0, 0, factor, false);
    return result;
}

uint32_t Dice::Next() {
    // xorshift32
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

int Dice::Roll(int lo, int hi) {
    return lo + static_cast<int>(Next() % static_cast<uint32_t>(hi - lo + 1));
}

}  // namespace art
