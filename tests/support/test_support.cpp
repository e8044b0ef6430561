#include "tests/support/test_support.h"

#include "engine/video.h"
#include "tools/package_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

Uint32 testNow = 0;

Uint32 ReadTestClock() {
    return testNow;
}

}  // namespace

void TestClock::Set(Uint32 now) {
    testNow = now;
}
void TestClock::Advance(Uint32 milliseconds) {
    testNow += milliseconds;
}
Uint32 TestClock::Read() {
    return testNow;
}

ClockGuard::ClockGuard(Uint32 start) {
    testNow = start;
    SetClock(ReadTestClock);
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
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file != nullptr) {
        std::fclose(file);
    }
    return file != nullptr;
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

SDL_Color PixelColour(SDL_Surface* surface, int x, int y) {
    SDL_Color colour{0, 0, 0, 0};
    if (SDL_MUSTLOCK(surface)) {
        SDL_LockSurface(surface);
    }
    const Uint8 bytesPerPixel = surface->format->BytesPerPixel;
    const Uint8* p = static_cast<const Uint8*>(surface->pixels) + y * surface->pitch + x * bytesPerPixel;
    Uint32 value = 0;
    switch (bytesPerPixel) {
        case 1:
            value = *p;
            break;
        case 2:
            value = *reinterpret_cast<const Uint16*>(p);
            break;
        case 3:
            value = static_cast<Uint32>(p[surface->format->Rshift / 8]) << surface->format->Rshift |
                    static_cast<Uint32>(p[surface->format->Gshift / 8]) << surface->format->Gshift |
                    static_cast<Uint32>(p[surface->format->Bshift / 8]) << surface->format->Bshift;
            break;
        default:
            value = *reinterpret_cast<const Uint32*>(p);
            break;
    }
    if (SDL_MUSTLOCK(surface)) {
        SDL_UnlockSurface(surface);
    }
    SDL_GetRGB(value, surface->format, &colour.r, &colour.g, &colour.b);
    return colour;
}
