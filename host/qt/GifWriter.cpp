#include "host/qt/GifWriter.h"

#include <gif_lib.h>

#include <fcntl.h>
#include <unistd.h>

#include <QPainter>

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace {

// Levels of the colour cube for frames with more than 256 colours: 6 x 7 x 6 = 252.
constexpr int kRedLevels = 6;
constexpr int kGreenLevels = 7;
constexpr int kBlueLevels = 6;

int Level(int value, int levels) {
    return (value * (levels - 1) + 127) / 255;
}

struct SIndexedFrame {
    std::vector<GifColorType> palette;
    std::vector<GifByteType> pixels;
};

// The frame's own colours when they fit into a palette.
bool IndexExactly(const QImage& image, SIndexedFrame& indexed) {
    std::unordered_map<QRgb, GifByteType> indexes;
    indexed.pixels.resize(static_cast<size_t>(image.width()) * image.height());
    size_t at = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb colour = line[x] & 0xFFFFFFu;
            auto found = indexes.find(colour);
            if (found == indexes.end()) {
                if (indexes.size() == 256)
                    return false;
                const auto index = static_cast<GifByteType>(indexes.size());
                found = indexes.emplace(colour, index).first;
                indexed.palette.push_back({static_cast<GifByteType>(qRed(colour)),
                                           static_cast<GifByteType>(qGreen(colour)),
                                           static_cast<GifByteType>(qBlue(colour))});
            }
            indexed.pixels[at++] = found->second;
        }
    }
    return true;
}

void IndexByCube(const QImage& image, SIndexedFrame& indexed) {
    indexed.palette.clear();
    for (int r = 0; r < kRedLevels; ++r)
        for (int g = 0; g < kGreenLevels; ++g)
            for (int b = 0; b < kBlueLevels; ++b)
                indexed.palette.push_back({static_cast<GifByteType>(r * 255 / (kRedLevels - 1)),
                                           static_cast<GifByteType>(g * 255 / (kGreenLevels - 1)),
                                           static_cast<GifByteType>(b * 255 / (kBlueLevels - 1))});
    size_t at = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = line[x];
            indexed.pixels[at++] = static_cast<GifByteType>(
                (Level(qRed(c), kRedLevels) * kGreenLevels + Level(qGreen(c), kGreenLevels)) *
                    kBlueLevels +
                Level(qBlue(c), kBlueLevels));
        }
    }
}

// GIF palettes hold a power of two of colours.
int PaletteSize(size_t colours) {
    int size = 2;
    while (static_cast<size_t>(size) < colours)
        size *= 2;
    return size;
}

} // namespace

CGifWriter::~CGifWriter() {
    Close();
}

bool CGifWriter::Open(const std::string& path, int frameWidth, int frameHeight) {
    Close();
    // Created as other files are (the user's umask), where giflib's own open would make it
    // private to the owner.
    const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (descriptor < 0)
        return false;
    int error = 0;
    file = EGifOpenFileHandle(descriptor, &error);
    if (!file) {
        close(descriptor);
        return false;
    }
    width = std::max(1, frameWidth);
    height = std::max(1, frameHeight);
    failed = false;
    EGifSetGifVersion(file, true);
    failed = EGifPutScreenDesc(file, width, height, 8, 0, nullptr) == GIF_ERROR;
    // The application extension that makes viewers loop the animation.
    static const GifByteType kLoopName[] = "NETSCAPE2.0";
    static const GifByteType kLoopForever[] = {1, 0, 0};
    failed = failed || EGifPutExtensionLeader(file, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
             EGifPutExtensionBlock(file, 11, kLoopName) == GIF_ERROR ||
             EGifPutExtensionBlock(file, 3, kLoopForever) == GIF_ERROR ||
             EGifPutExtensionTrailer(file) == GIF_ERROR;
    return !failed;
}

bool CGifWriter::AddFrame(const QImage& frame, int delay) {
    if (!file || failed)
        return false;
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        QPainter painter(&image);
        painter.drawImage(0, 0, frame);
    }
    SIndexedFrame indexed;
    if (!IndexExactly(image, indexed))
        IndexByCube(image, indexed);
    indexed.palette.resize(static_cast<size_t>(PaletteSize(indexed.palette.size())));

    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSE_DO_NOT;
    control.UserInputFlag = false;
    control.DelayTime = std::clamp(delay, 1, 65535);
    control.TransparentColor = NO_TRANSPARENT_COLOR;
    GifByteType extension[4];
    EGifGCBToExtension(&control, extension);

    ColorMapObject* palette =
        GifMakeMapObject(static_cast<int>(indexed.palette.size()), indexed.palette.data());
    failed = !palette ||
             EGifPutExtension(file, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_ERROR ||
             EGifPutImageDesc(file, 0, 0, width, height, false, palette) == GIF_ERROR;
    GifFreeMapObject(palette);
    for (int y = 0; y < height && !failed; ++y)
        failed = EGifPutLine(file, indexed.pixels.data() + static_cast<size_t>(y) * width, width) ==
                 GIF_ERROR;
    return !failed;
}

bool CGifWriter::Close() {
    if (!file)
        return !failed;
    int error = 0;
    const bool closed = EGifCloseFile(file, &error) != GIF_ERROR;
    file = nullptr;
    return closed && !failed;
}
