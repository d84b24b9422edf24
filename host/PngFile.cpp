#include "host/PngFile.h"

#include "support/ErrorStack.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <memory>

namespace {

struct SFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// libpng reports errors by jumping back here; nothing with a destructor may live between
// the setjmp and the calls that can fail.
bool WriteRows(std::FILE* file, int32_t width, int32_t height, const std::vector<uint32_t>& pixels,
               std::vector<uint8_t>& row) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = 0; y < height; ++y) {
        const uint32_t* source = pixels.data() + static_cast<size_t>(y) * width;
        for (int32_t x = 0; x < width; ++x) {
            row[x * 3] = static_cast<uint8_t>(source[x]);
            row[x * 3 + 1] = static_cast<uint8_t>(source[x] >> 8);
            row[x * 3 + 2] = static_cast<uint8_t>(source[x] >> 16);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

bool SavePixelsAsPng(const std::string& path, int32_t width, int32_t height,
                     const std::vector<uint32_t>& pixels) {
    if (width <= 0 || height <= 0 ||
        pixels.size() < static_cast<size_t>(width) * static_cast<size_t>(height)) {
        qm::SetError("No picture to save in " + path);
        return false;
    }
    std::unique_ptr<std::FILE, SFileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        qm::SetSystemError("Cannot create " + path);
        return false;
    }
    std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
    const bool written = WriteRows(file.get(), width, height, pixels, row);
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed) {
        qm::SetSystemError("Cannot write " + path);
        return false;
    }
    return true;
}
