#include "PngFile.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <png.h>

namespace {

// Closes the file and frees libpng's state however the writing ends.
struct SPngWriter {
    std::FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~SPngWriter() {
        if (png)
            png_destroy_write_struct(&png, info ? &info : nullptr);
        if (file)
            std::fclose(file);
    }
};

} // namespace

bool SavePng(const std::string& path, const std::vector<uint32_t>& pixels, int32_t width,
             int32_t height, std::string& problem) {
    if (width <= 0 || height <= 0 ||
        pixels.size() < static_cast<size_t>(width) * static_cast<size_t>(height)) {
        problem = "there is no picture";
        return false;
    }
    // One row of RGB bytes, converted before libpng sees it.
    std::vector<png_byte> row(static_cast<size_t>(width) * 3);
    SPngWriter writer;
    writer.file = std::fopen(path.c_str(), "wb");
    if (!writer.file) {
        problem = std::strerror(errno);
        return false;
    }
    writer.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (writer.png)
        writer.info = png_create_info_struct(writer.png);
    if (!writer.png || !writer.info) {
        problem = "out of memory";
        return false;
    }
    if (setjmp(png_jmpbuf(writer.png))) {
        problem = "write error";
        return false;
    }
    png_init_io(writer.png, writer.file);
    png_set_IHDR(writer.png, writer.info, static_cast<png_uint_32>(width),
                 static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(writer.png, writer.info);
    for (int32_t y = 0; y < height; ++y) {
        const uint32_t* source = pixels.data() + static_cast<size_t>(y) * width;
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t colour = source[x];
            row[3 * x] = static_cast<png_byte>(colour & 0xFF);
            row[3 * x + 1] = static_cast<png_byte>((colour >> 8) & 0xFF);
            row[3 * x + 2] = static_cast<png_byte>((colour >> 16) & 0xFF);
        }
        png_write_row(writer.png, row.data());
    }
    png_write_end(writer.png, nullptr);
    const bool failed = std::ferror(writer.file) != 0;
    const bool closed = std::fclose(writer.file) == 0;
    writer.file = nullptr;
    if (failed || !closed) {
        problem = std::strerror(errno);
        return false;
    }
    return true;
}
