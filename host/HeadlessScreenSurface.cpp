#include "host/HeadlessScreenSurface.h"

#include <new>

namespace {
class CHeadlessFont : public CScreenFont {};

class CMemoryPicture : public CScreenPicture {
public:
    CMemoryPicture(int32_t width, int32_t height)
        : stride(width * 4), bits(static_cast<size_t>(stride) * static_cast<size_t>(height)) {}
    int32_t GetDepth() const override { return 32; }
    int32_t GetStride() const override { return stride; }
    uint8_t* GetBits() override { return bits.data(); }
    bool Update() override { return true; }

private:
    int32_t stride;
    std::vector<uint8_t> bits;
};
} // namespace

void CHeadlessScreenSurface::GetClientSize(int32_t& width, int32_t& height) {
    width = kClientWidth;
    height = kClientHeight;
}

std::unique_ptr<CScreenFont> CHeadlessScreenSurface::CreateFont(const SFontRecord&) {
    return std::make_unique<CHeadlessFont>();
}

bool CHeadlessScreenSurface::MeasureCell(const CScreenFont&, int32_t& width, int32_t& height) {
    width = kCellWidth;
    height = kCellHeight;
    return true;
}

std::unique_ptr<CScreenPicture> CHeadlessScreenSurface::CreatePicture(int32_t width,
                                                                      int32_t height) {
    if (width <= 0 || height <= 0 || static_cast<int64_t>(width) * 4 > INT32_MAX)
        return nullptr;
    try {
        return std::make_unique<CMemoryPicture>(width, height);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
