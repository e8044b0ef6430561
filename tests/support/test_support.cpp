#include "tests/support/test_support.h"

#include "engine/text.h"
#include "engine/video.h"
#include "tools/package_writer.h"

#include <SDL_ttf.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

ClockGuard::ClockGuard(Uint32 start) {
    TestClock::Set(start);
    SetClock(TestClock::Read);
}

ClockGuard::~ClockGuard() {
    SetClock(nullptr);
}

ScreenGuard::ScreenGuard(int bitsPerPixel) {
    video.Init(SDL_INIT_VIDEO, 640, 480, bitsPerPixel, SDL_SWSURFACE);
}

ScreenGuard::~ScreenGuard() {
    video.Quit();
}

SDL_Surface* ScreenGuard::Screen() const {
    return video.GetScreen();
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

bool FileExists(const std::string& path) {
    return std::ifstream(path).good();
}

void WriteTestPackage(const std::string& path, unsigned char key,
                      const std::vector<std::pair<std::string, std::string>>& members) {
    std::vector<PackageMember> list;
    for (const auto& [name, bytes] : members) {
        list.push_back({name, bytes});
    }
    WriteFileBytes(path, BuildPackage(key, list));
}

std::string SolidBmp(int width, int height, Uint8 r, Uint8 g, Uint8 b) {
    SDL_Surface* surface =
        SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0);
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, r, g, b));
    const std::string path = "solid-picture.bmp.tmp";
    SDL_SaveBMP(surface, path.c_str());
    SDL_FreeSurface(surface);
    std::string bytes = ReadFileBytes(path);
    std::remove(path.c_str());
    return bytes;
}

void WriteWorldPackages(const std::function<SDL_Color(const std::string& member)>& colourOf, SDL_Color grass,
                        SDL_Color rock) {
    const auto picture = [](SDL_Color c) { return SolidBmp(32, 32, c.r, c.g, c.b); };
    std::vector<std::pair<std::string, std::string>> buildings;
    for (const char* name :
         {"office",    "woodworker", "woodworkerw1", "woodworkerw2", "woodworkerw3", "woodworkerw4",
          "factory1",  "factory2",   "factory2w1",   "factory2w2",   "plastics1",    "plastics2",
          "plastics3", "plastics4",  "plastics1w1",  "plastics1w2",  "foundry1",     "foundry2",
          "foundry3",  "foundry3w1", "foundry3w2",   "foundry3w3",   "mine1",        "mine2",
          "mine1w1",   "mine1w2",    "iron",         "oil"}) {
        const std::string member = std::string(name) + ".png";
        buildings.push_back({member, picture(colourOf(member))});
    }
    mkdir("data", 0755);
    WriteTestPackage("data/buildings.rkp", 7, buildings);
    WriteTestPackage("data/elves.rkp", 9,
                     {{"worker.png", picture(colourOf("worker.png"))},
                      {"geologist.png", picture(colourOf("geologist.png"))},
                      {"carrier.png", picture(colourOf("carrier.png"))}});
    WriteTestPackage("data/tiles.rkp", 11,
                     {{"tiles.dat", "grass.bmp|yes|x\nrock.bmp|no|x"},
                      {"grass.bmp", picture(grass)},
                      {"rock.bmp", picture(rock)}});
}

SDL_Color PixelColour(SDL_Surface* surface, int x, int y) {
    SDL_LockSurface(surface);
    const Uint8 bytesPerPixel = surface->format->BytesPerPixel;
    // Little-endian host: the pixel's bytes, lowest first, make its value.
    Uint32 value = 0;
    std::memcpy(&value, static_cast<const Uint8*>(surface->pixels) + y * surface->pitch + x * bytesPerPixel,
                bytesPerPixel);
    SDL_UnlockSurface(surface);
    SDL_Color colour{0, 0, 0, 0};
    SDL_GetRGB(value, surface->format, &colour.r, &colour.g, &colour.b);
    return colour;
}

FontGuard::FontGuard(int size) {
    EXPECT_EQ(TTF_Init(), 0);
    guiFont.Load(QUORVEL_FONT_FILE, size);
}

FontGuard::~FontGuard() {
    guiFont.Close();
    TTF_Quit();
}

namespace {

bool SameRgb(SDL_Color a, SDL_Color b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

::testing::AssertionResult CheckText(SDL_Surface* screen, int x, int y, const std::string& text,
                                     SDL_Color inner, const SDL_Color* outline, bool exclusive) {
    SDL_Surface* glyphs =
        TTF_RenderText_Solid(guiFont.GetHandle(), text.c_str(), SDL_Color{255, 255, 255, 0});
    if (glyphs == nullptr) {
        return ::testing::AssertionFailure() << "the font does not render \"" << text << "\"";
    }
    // A solid rendering is palettised: index 0 is the clear background.
    const auto ink = [glyphs](int i, int j) {
        return i >= 0 && j >= 0 && i < glyphs->w && j < glyphs->h &&
               static_cast<const Uint8*>(glyphs->pixels)[j * glyphs->pitch + i] != 0;
    };
    const int margin = outline != nullptr ? 2 : 0;
    int wrong = 0;
    for (int j = -margin; j < glyphs->h + margin; ++j) {
        for (int i = -margin; i < glyphs->w + margin; ++i) {
            if (x + i < 0 || y + j < 0 || x + i >= screen->w || y + j >= screen->h) {
                continue;
            }
            const SDL_Color seen = PixelColour(screen, x + i, y + j);
            const bool rim =
                margin != 0 && (ink(i - 2, j) || ink(i + 2, j) || ink(i, j - 2) || ink(i, j + 2));
            const SDL_Color* expected = ink(i, j) ? &inner : rim ? outline : nullptr;
            const bool ok = expected != nullptr
                                ? SameRgb(seen, *expected)
                                : !exclusive || (!SameRgb(seen, inner) &&
                                                 (outline == nullptr || !SameRgb(seen, *outline)));
            wrong += ok ? 0 : 1;
        }
    }
    SDL_FreeSurface(glyphs);
    if (wrong != 0) {
        return ::testing::AssertionFailure()
               << "\"" << text << "\" at (" << x << ", " << y << "): " << wrong << " pixels wrong";
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

bool AnyPixel(SDL_Surface* screen, int x1, int y1, int x2, int y2, SDL_Color colour) {
    for (int y = std::max(y1, 0); y <= y2 && y < screen->h; ++y) {
        for (int x = std::max(x1, 0); x <= x2 && x < screen->w; ++x) {
            if (SameRgb(PixelColour(screen, x, y), colour)) {
                return true;
            }
        }
    }
    return false;
}

::testing::AssertionResult ShowsText(SDL_Surface* screen, int x, int y, const std::string& text,
                                     SDL_Color colour, bool exclusive) {
    return CheckText(screen, x, y, text, colour, nullptr, exclusive);
}

::testing::AssertionResult ShowsOutlinedText(SDL_Surface* screen, int x, int y, const std::string& text,
                                             SDL_Color inner, SDL_Color outline, bool exclusive) {
    return CheckText(screen, x, y, text, inner, &outline, exclusive);
}
