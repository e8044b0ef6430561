#include "engine/screenshot.h"

#include "engine/player_files.h"
#include "engine/png_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

constexpr int MostPerSecond = 1000;

// The surface's pixels as rows of red, green and blue bytes, whatever its format.
std::vector<png_byte> RgbRows(SDL_Surface* surface) {
    std::vector<png_byte> rgb(static_cast<std::size_t>(surface->w) * surface->h * 3);
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) {
        throw std::runtime_error(SDL_GetError());
    }
    const int bytes = surface->format->BytesPerPixel;
    std::size_t at = 0;
    for (int y = 0; y < surface->h; ++y) {
        const Uint8* row = static_cast<const Uint8*>(surface->pixels) + y * surface->pitch;
        for (int x = 0; x < surface->w; ++x) {
            Uint32 pixel = 0;
            std::memcpy(&pixel, row + x * bytes, static_cast<std::size_t>(bytes));
#if SDL_BYTEORDER == SDL_BIG_ENDIAN
            pixel >>= 8 * (4 - bytes);
#endif
            SDL_GetRGB(pixel, surface->format, &rgb[at], &rgb[at + 1], &rgb[at + 2]);
            at += 3;
        }
    }
    if (SDL_MUSTLOCK(surface)) {
        SDL_UnlockSurface(surface);
    }
    return rgb;
}

// Creates the next free name of that second; an existing picture is never touched.
std::unique_ptr<std::FILE, FileCloser> CreateFreeFile(const std::string& folder, const std::tm& time,
                                                      std::string& path) {
    for (int number = 1; number <= MostPerSecond; ++number) {
        path = folder + "/" + ScreenshotName(time, number);
        const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (file >= 0) {
            return std::unique_ptr<std::FILE, FileCloser>(fdopen(file, "wb"));
        }
        if (errno != EEXIST) {
            throw std::runtime_error(std::strerror(errno));
        }
    }
    throw std::runtime_error("Too many pictures in one second.");
}

void WritePng(std::FILE* file, SDL_Surface* surface, std::vector<png_byte>& rgb) {
    std::vector<png_bytep> rows(static_cast<std::size_t>(surface->h));
    for (int y = 0; y < surface->h; ++y) {
        rows[static_cast<std::size_t>(y)] = rgb.data() + static_cast<std::size_t>(y) * surface->w * 3;
    }
    PngWriter writer;
    if (writer.png == nullptr || writer.info == nullptr) {
        throw std::runtime_error("The PNG library did not start.");
    }
    // libpng reports errors by longjmp; nothing with a destructor is created
    // between here and the end of the writing calls.
    if (setjmp(png_jmpbuf(writer.png))) {
        throw std::runtime_error("The PNG library failed to write.");
    }
    png_init_io(writer.png, file);
    png_set_IHDR(writer.png, writer.info, static_cast<png_uint_32>(surface->w),
                 static_cast<png_uint_32>(surface->h), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(writer.png, writer.info);
    png_write_image(writer.png, rows.data());
    png_write_end(writer.png, nullptr);
}

}  // namespace

std::string ScreenshotName(const std::tm& time, int number) {
    char name[64];
    std::strftime(name, sizeof name, "quorvel-%Y-%m-%d-%H-%M-%S", &time);
    return std::string(name) + (number > 1 ? "-" + std::to_string(number) : "") + ".png";
}

std::string SaveScreenshot(SDL_Surface* surface, const std::string& folder, std::time_t when) {
    if (surface == nullptr) {
        throw std::runtime_error("There is no screen.");
    }
    std::vector<png_byte> rgb = RgbRows(surface);
    if (!MakeFolders(folder, 0755)) {
        throw std::runtime_error(std::strerror(errno));
    }
    std::tm time{};
    localtime_r(&when, &time);
    std::string path;
    std::unique_ptr<std::FILE, FileCloser> file = CreateFreeFile(folder, time, path);
    try {
        if (file == nullptr) {
            throw std::runtime_error(std::strerror(errno));
        }
        WritePng(file.get(), surface, rgb);
        if (std::fflush(file.get()) != 0) {
            throw std::runtime_error(std::strerror(errno));
        }
    } catch (const std::exception&) {
        file.reset();
        std::remove(path.c_str());
        throw;
    }
    return path;
}
