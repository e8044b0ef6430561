#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace art {

struct Colour {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;

    bool operator==(const Colour& other) const { return r == other.r && g == other.g && b == other.b; }
    bool operator!=(const Colour& other) const { return !(*this == other); }
};

// The colour that the game keys out of building, elf and map-object pictures.
inline constexpr Colour Magenta{255, 0, 255};

Colour Mix(Colour from, Colour to, int weight, int outOf);

// An opaque RGB picture with the drawing operations the generators need. All
// operations clip at the edges, so callers may draw partly outside.
class Canvas {
  public:
    Canvas() = default;
    Canvas(int width, int height, Colour fill = Colour{});

    int Width() const { return width; }
    int Height() const { return height; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    Colour At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    void Set(int x, int y, Colour colour);
    // Mixes colour over the pixel with alpha 0..255.
    void Blend(int x, int y, Colour colour, int alpha);

    void Fill(Colour colour);
    void FillRect(int x, int y, int w, int h, Colour colour);
    void BlendRect(int x, int y, int w, int h, Colour colour, int alpha);
    // A one-pixel outline just inside the rectangle.
    void Frame(int x, int y, int w, int h, Colour colour);
    void Line(int x1, int y1, int x2, int y2, Colour colour);
    void FillEllipse(int cx, int cy, int rx, int ry, Colour colour);
    // From top colour to bottom colour with an ordered dither between bands,
    // which keeps the pixel-art look instead of a smooth ramp.
    void DitherGradient(int x, int y, int w, int h, Colour top, Colour bottom);

    // Copies the source scaled by a whole factor; pixels of the key colour are skipped.
    void Blit(const Canvas& source, int x, int y, int scale = 1, bool keyed = true, Colour key = Magenta);
    // The part (x, y, w, h) as a picture of its own.
    Canvas Cut(int x, int y, int w, int h) const;
    Canvas Scaled(int factor) const;

    const std::vector<Colour>& Pixels() const { return pixels; }

  private:
    int width = 0;
    int height = 0;
    std::vector<Colour> pixels;
};

// A small deterministic generator: pictures must come out byte-identical on
// every build, whatever the standard library's distributions do.
class Dice {
  public:
    explicit Dice(uint32_t seed) : state(seed ? seed : 1u) {}
    uint32_t Next();
    // A whole number from lo to hi inclusive.
    int Roll(int lo, int hi);

  private:
    uint32_t state;
};

}  // namespace art
