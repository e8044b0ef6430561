#include "tools/art/png_file.h"

#include "engine/png_writer.h"

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <vector>

namespace art {

void WritePng(const std::string& path, const Canvas& canvas) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        throw std::runtime_error("cannot write " + path);
    }
    std::vector<png_byte> rows(static_cast<std::size_t>(canvas.Width()) * canvas.Height() * 3);
    std::size_t at = 0;
    for (const Colour& pixel : canvas.Pixels()) {
        rows[at++] = pixel.r;
        rows[at++] = pixel.g;
        rows[at++] = pixel.b;
    }
    std::vector<png_bytep> rowPointers(static_cast<std::size_t>(canvas.Height()));
    for (int y = 0; y < canvas.Height(); ++y) {
        rowPointers[static_cast<std::size_t>(y)] =
            rows.data() + static_cast<std::size_t>(y) * canvas.Width() * 3;
    }

    PngWriter writer;
    if (writer.png == nullptr || writer.info == nullptr) {
        throw std::runtime_error("libpng could not start for " + path);
    }
    // libpng reports errors by longjmp; nothing with a destructor is created
    // between here and the end of the writing calls.
    if (setjmp(png_jmpbuf(writer.png))) {
        throw std::runtime_error("libpng failed writing " + path);
    }
    png_init_io(writer.png, file.get());
    png_set_compression_level(writer.png, 9);
    png_set_IHDR(writer.png, writer.info, static_cast<png_uint_32>(canvas.Width()),
                 static_cast<png_uint_32>(canvas.Height()), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(writer.png, writer.info);
    png_write_image(writer.png, rowPointers.data());
    png_write_end(writer.png, nullptr);
    if (std::fflush(file.get()) != 0) {
        throw std::runtime_error("cannot write " + path);
    }
}

}  // namespace art
