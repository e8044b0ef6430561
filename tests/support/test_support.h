#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// A clock the test sets by hand; installed with ClockGuard.
class TestClock {
  public:
    static void Set(Uint32 now) { current = now; }
    static void Advance(Uint32 milliseconds) { current += milliseconds; }
    static Uint32 Read() { return current; }

  private:
    static inline Uint32 current = 0;
};

// Installs the test clock for the lifetime of the guard, then restores SDL's.
class ClockGuard {
  public:
    explicit ClockGuard(Uint32 start = 100000);
    ~ClockGuard();
    ClockGuard(const ClockGuard&) = delete;
    ClockGuard& operator=(const ClockGuard&) = delete;
};

// Opens SDL's dummy video at 640 x 480 x 24 for the lifetime of the guard.
class ScreenGuard {
  public:
    explicit ScreenGuard(int bitsPerPixel = 24);
    ~ScreenGuard();
    SDL_Surface* Screen() const;
    ScreenGuard(const ScreenGuard&) = delete;
    ScreenGuard& operator=(const ScreenGuard&) = delete;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// Writes a package file with the given members (name, bytes).
void WriteTestPackage(const std::string& path, unsigned char key,
                      const std::vector<std::pair<std::string, std::string>>& members);

// The bytes of a BMP file of a width x height picture filled with one colour;
// the image loader reads BMP as well as PNG, so tests need no image tool.
std::string SolidBmp(int width, int height, Uint8 r, Uint8 g, Uint8 b);

// data/buildings.rkp, elves.rkp and tiles.rkp with a one-colour 32 x 32
// picture for every member (colourOf names its colour) and a tile list of
// walkable grass and blocking rock.
void WriteWorldPackages(const std::function<SDL_Color(const std::string& member)>& colourOf, SDL_Color grass,
                        SDL_Color rock);

// The colour of the screen pixel at (x, y).
SDL_Color PixelColour(SDL_Surface* surface, int x, int y);

// Starts the font library and loads guiFont, at the given size, from the font
// file the game packs as its interface font, for the lifetime of the guard.

class FontGuard {
  public:
    explicit FontGuard(int size = 16);
    ~FontGuard();
    FontGuard(const FontGuard&) = delete;
    FontGuard& operator=(const FontGuard&) = delete;
};

// Whether any pixel in the rectangle (both corners included) has the colour.
bool AnyPixel(SDL_Surface* screen, int x1, int y1, int x2, int y2, SDL_Color colour);

// Text drawn by guiFont with its top-left corner at (x, y), checked against
// the font's own rendering: every pixel the glyphs cover has the colour and,
// when exclusive, no other pixel of the text's box has it (false where other
// texts may reach into the box).
::testing::AssertionResult ShowsText(SDL_Surface* screen, int x, int y, const std::string& text,
                                     SDL_Color colour, bool exclusive = true);
// The same for an outlined text: copies two pixels left, right, above and
// below in the outline colour, the text itself in the inner colour on top.
::testing::AssertionResult ShowsOutlinedText(SDL_Surface* screen, int x, int y, const std::string& text,
                                             SDL_Color inner, SDL_Color outline, bool exclusive = true);
