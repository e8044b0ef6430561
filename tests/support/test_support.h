#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A clock the test sets by hand; installed with ClockGuard.
class TestClock {
  public:
    static void Set(Uint32 now);
    static void Advance(Uint32 milliseconds);
    static Uint32 Read();
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

// The colour of the screen pixel at (x, y).
SDL_Color PixelColour(SDL_Surface* surface, int x, int y);
