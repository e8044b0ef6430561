#pragma once

#include <png.h>

#include <cstdio>

// Closes a C stream owned by a std::unique_ptr.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Owns libpng's write and info structures. Shared by the game's screenshots
// and the build-time art tools; header only, so the tools need no engine library.
class PngWriter {
  public:
    PngWriter() {
        png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        if (png != nullptr) {
            info = png_create_info_struct(png);
        }
    }
    ~PngWriter() { png_destroy_write_struct(&png, info != nullptr ? &info : nullptr); }
    PngWriter(const PngWriter&) = delete;
    PngWriter& operator=(const PngWriter&) = delete;

    png_structp png = nullptr;
    png_infop info = nullptr;
};
