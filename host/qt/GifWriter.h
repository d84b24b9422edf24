// An animated GIF file written frame by frame (giflib): every frame has its own palette,
// the exact colours when a frame has at most 256 of them, else a fixed colour cube.
#pragma once

#include <QImage>

#include <string>

struct GifFileType;

class CGifWriter {
public:
    CGifWriter() = default;
    ~CGifWriter();
    CGifWriter(const CGifWriter&) = delete;
    CGifWriter& operator=(const CGifWriter&) = delete;

    // Creates the file for frames of this size, looping forever.
    bool Open(const std::string& path, int width, int height);
    // One frame shown for `delay` hundredths of a second. A frame of another size is
    // cropped or filled with black at its right and bottom.
    bool AddFrame(const QImage& frame, int delay);
    // Ends the file; false when any write failed.
    bool Close();
    bool IsOpen() const { return file != nullptr; }

private:
    GifFileType* file = nullptr;
    int width = 0;
    int height = 0;
    bool failed = false;
};
