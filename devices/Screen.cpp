#include "devices/Screen.h"

#include "core/Kernel.h"
#include "core/Machine.h"
#include "support/ErrorStack.h"
#include "support/INIFile.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {
const char* const kTag = ".\\screen";
const char* const kFontSection = "Font";

// The block scaling of graphics mode: how many window pixels a machine pixel becomes, and
// whether a black line separates neighbours once the blocks are large enough to show it.
void ScaleForFit(int32_t fit, int32_t& scale, int32_t& gap) {
    if (fit <= 1) {
        scale = 1;
        gap = 0;
    } else if (fit <= 4) {
        scale = fit;
        gap = 0;
    } else if (fit <= 8) {
        scale = fit - 1;
        gap = 1;
    } else {
        scale = 8;
        gap = 1;
    }
}

// One machine pixel (0x00BBGGRR) in the picture's format.
struct SPixel32 {
    static constexpr int32_t kBytes = 4;
    static void Put(uint8_t* p, uint32_t colour) {
        p[0] = static_cast<uint8_t>(colour >> 16);
        p[1] = static_cast<uint8_t>(colour >> 8);
        p[2] = static_cast<uint8_t>(colour);
    }
};
struct SPixel24 {
    static constexpr int32_t kBytes = 3;
    static void Put(uint8_t* p, uint32_t colour) { SPixel32::Put(p, colour); }
};
struct SPixel16 {
    static constexpr int32_t kBytes = 2;
    static void Put(uint8_t* p, uint32_t colour) {
        const uint32_t red = (colour >> 3) & 0x1F;
        const uint32_t green = (colour >> 10) & 0x3F;
        const uint32_t blue = (colour >> 19) & 0x1F;
        const uint16_t value = static_cast<uint16_t>(red << 11 | green << 5 | blue);
        std::memcpy(p, &value, 2);
    }
};

// Writes every pixel as a scale x scale block at (column * pitch, row * pitch); the gap
// pixels between blocks keep the zero they started with.
template <typename TPixel>
void ScalePixels(const uint32_t* pixels, int32_t width, int32_t height, int32_t scale,
                 int32_t pitch, uint8_t* bits, int32_t stride) {
    const size_t rowBytes = static_cast<size_t>(pitch) * static_cast<size_t>(width) *
                            static_cast<size_t>(TPixel::kBytes);
    for (int32_t row = 0; row < height; ++row) {
        uint8_t* first = bits + static_cast<size_t>(row) * pitch * stride;
        const uint32_t* source = pixels + static_cast<size_t>(row) * width;
        for (int32_t column = 0; column < width; ++column) {
            uint8_t* p = first + static_cast<size_t>(column) * pitch * TPixel::kBytes;
            for (int32_t i = 0; i < scale; ++i, p += TPixel::kBytes)
                TPixel::Put(p, source[column]);
        }
        for (int32_t i = 1; i < scale; ++i)
            std::memcpy(first + static_cast<size_t>(i) * stride, first, rowBytes);
    }
}
} // namespace

CScreen::CScreen(CScreenSurface* surface, bool minimized)
    : surface(surface), minimized(minimized) {}

CScreen::~CScreen() {
    DropMode();
    UpdateLayout();
    RepaintAll();
}

bool CScreen::Init(const qm::CINIFile&, const qm::CINIFile& userSettings, const std::string&) {
    LoadFontSettings(userSettings);
    bool ok = true;
    if (mode != kScreenText || width != 80 || height != 25)
        ok = SwitchMode(kScreenText, 80, 25);
    if (!ok)
        qm::PushError("Unable to create screen device", kTag, 674);
    return ok;
}

void CScreen::LoadFontSettings(const qm::CINIFile& userSettings) {
    font = SFontRecord();
    int32_t value = font.height;
    userSettings.GetInt(kFontSection, "Height", value);
    font.height = value;
    value = font.weight;
    userSettings.GetInt(kFontSection, "Weight", value);
    font.weight = value;
    value = font.italic;
    userSettings.GetInt(kFontSection, "Italic", value);
    font.italic = static_cast<uint8_t>(value);
    value = font.charSet;
    userSettings.GetInt(kFontSection, "CharSet", value);
    font.charSet = static_cast<uint8_t>(value);
    std::string face;
    userSettings.GetString(kFontSection, "FaceName", face);
    if (!face.empty())
        font.faceName = face.substr(0, SFontRecord::kMaxFaceName);
}

void CScreen::SaveSettings(qm::CINIFile& userSettings) {
    userSettings.SetInt(kFontSection, "Height", font.height);
    userSettings.SetInt(kFontSection, "Weight", font.weight);
    userSettings.SetInt(kFontSection, "Italic", font.italic);
    userSettings.SetInt(kFontSection, "CharSet", font.charSet);
    userSettings.SetString(kFontSection, "FaceName", font.faceName);
}

bool CScreen::SetMode(int32_t newMode, int32_t newWidth, int32_t newHeight) {
    if (newWidth > kMaxScreenSize || newWidth < 0 || newHeight > kMaxScreenSize || newHeight < 0)
        return false;
    // A picture without rows or columns has nothing to scale; refuse it like a bad size.
    if (newMode == kScreenGraphics && (newWidth == 0 || newHeight == 0))
        return false;
    if (newMode == mode && newWidth == width && newHeight == height)
        return true;
    return SwitchMode(newMode, newWidth, newHeight);
}

bool CScreen::SwitchMode(int32_t newMode, int32_t newWidth, int32_t newHeight) {
    ReleaseMode();
    mode = newMode;
    width = newWidth;
    height = newHeight;
    const bool ok = CreateModeResources();
    if (!ok)
        DropMode();
    UpdateLayout();
    RepaintAll();
    return ok;
}

// A mode without its buffers or fonts is no mode: the screen shows nothing until the next one.
void CScreen::DropMode() {
    ReleaseMode();
    mode = kScreenNone;
    width = 0;
    height = 0;
}

void CScreen::GetMode(int32_t& outMode, int32_t& outWidth, int32_t& outHeight) const {
    outMode = mode;
    outWidth = width;
    outHeight = height;
}

void CScreen::ReleaseMode() {
    frontBuffer = {};
    backBuffer = {};
    dirtyRows = {};
    runCharacters = {};
    normalFont.reset();
    underlinedFont.reset();
    pixels = {};
    picture.reset();
    bitmapValid = false;
}

bool CScreen::CreateModeResources() {
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    try {
        if (mode == kScreenText) {
            if (!CreateFonts())
                return false;
            frontBuffer.assign(count, STextCell());
            backBuffer.assign(count, STextCell());
            dirtyRows.assign(static_cast<size_t>(height), 0);
            runCharacters.assign(static_cast<size_t>(width), 0);
        } else if (mode == kScreenGraphics) {
            pixels.assign(count, 0);
            bitmapValid = false;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool CScreen::CreateFonts() {
    normalFont.reset();
    underlinedFont.reset();
    if (!surface)
        return false;
    SFontRecord underlined = font;
    underlined.underline = 1;
    std::unique_ptr<CScreenFont> normal = surface->CreateFont(font);
    std::unique_ptr<CScreenFont> withLine = normal ? surface->CreateFont(underlined) : nullptr;
    if (!normal || !withLine)
        return false;
    normalFont = std::move(normal);
    underlinedFont = std::move(withLine);
    return true;
}

void CScreen::UpdateLayout() {
    clientWidth = 0;
    clientHeight = 0;
    if (surface)
        surface->GetClientSize(clientWidth, clientHeight);
    if (mode == kScreenText)
        UpdateTextLayout();
    else if (mode == kScreenGraphics)
        UpdatePictureLayout();
}

void CScreen::UpdateTextLayout() {
    cellWidth = 0;
    cellHeight = 0;
    if (clientWidth > 0 && clientHeight > 0 && surface && normalFont &&
        !surface->MeasureCell(*normalFont, cellWidth, cellHeight)) {
        cellWidth = 0;
        cellHeight = 0;
    }
    if (clientWidth > 0 && clientHeight > 0 && cellWidth > 0 && cellHeight > 0) {
        textAreaWidth = width * cellWidth;
        textAreaHeight = height * cellHeight;
        textOriginX = clientWidth / 2 - textAreaWidth / 2;
        textOriginY = clientHeight / 2 - textAreaHeight / 2;
    } else {
        textAreaWidth = textAreaHeight = textOriginX = textOriginY = 0;
    }
}

void CScreen::UpdatePictureLayout() {
    const int32_t fit = fitToWindow ? std::min(clientWidth / width, clientHeight / height) : 1;
    ScaleForFit(fit, scale, gap);
    if (!pixelGapAllowed) {
        scale += gap;
        gap = 0;
    }
    const int32_t pitch = scale + gap;
    const int32_t newWidth = pitch * width;
    const int32_t newHeight = pitch * height;
    pictureOriginX = clientWidth / 2 - newWidth / 2;
    pictureOriginY = clientHeight / 2 - newHeight / 2;
    if (bitmapValid && picture && newWidth == pictureWidth && newHeight == pictureHeight)
        return;
    picture.reset();
    bitmapValid = false;
    pictureWidth = newWidth;
    pictureHeight = newHeight;
    if (!surface)
        return;
    picture = surface->CreatePicture(pictureWidth, pictureHeight);
    if (!picture)
        return;
    const int32_t depth = picture->GetDepth();
    if (depth != 16 && depth != 24 && depth != 32) {
        picture.reset();
        return;
    }
    std::memset(picture->GetBits(), 0,
                static_cast<size_t>(pictureHeight) * static_cast<size_t>(picture->GetStride()));
    bitmapValid = true;
    RebuildPicture();
}

bool CScreen::RebuildPicture() {
    if (!bitmapValid || !picture)
        return false;
    const int32_t pitch = scale + gap;
    uint8_t* bits = picture->GetBits();
    const int32_t stride = picture->GetStride();
    switch (picture->GetDepth()) {
    case 32:
        ScalePixels<SPixel32>(pixels.data(), width, height, scale, pitch, bits, stride);
        break;
    case 24:
        ScalePixels<SPixel24>(pixels.data(), width, height, scale, pitch, bits, stride);
        break;
    default:
        ScalePixels<SPixel16>(pixels.data(), width, height, scale, pitch, bits, stride);
        break;
    }
    return picture->Update();
}

bool CScreen::Refresh() {
    if (minimized)
        return true;
    if (mode == kScreenNone || !surface || !surface->BeginDraw())
        return false;
    bool ok = false;
    if (mode == kScreenText) {
        if (clientWidth == 0 || clientHeight == 0 || cellWidth == 0 || cellHeight == 0)
            FillClient();
        else
            ok = DrawChangedCells();
    } else if (mode == kScreenGraphics) {
        if (bitmapValid)
            ok = surface->DrawPicture(*picture, pictureOriginX, pictureOriginY);
        else
            FillClient();
    } else {
        FillClient();
    }
    surface->EndDraw();
    return ok;
}

bool CScreen::DrawChangedCells() {
    bool anyChange = false;
    for (int32_t row = 0; row < height && !anyChange; ++row) {
        if (!dirtyRows[row])
            continue;
        const size_t first = static_cast<size_t>(row) * width;
        anyChange = !std::equal(backBuffer.begin() + first, backBuffer.begin() + first + width,
                                frontBuffer.begin() + first);
    }
    if (!anyChange)
        return true;
    for (int32_t row = 0; row < height; ++row) {
        if (dirtyRows[row])
            DrawRow(row, backBuffer, true);
    }
    frontBuffer = backBuffer;
    std::fill(dirtyRows.begin(), dirtyRows.end(), 0);
    return true;
}

// Draws the cells of one row in runs of neighbours that look alike (underline and both
// colours), one surface call per run. With `changedOnly` a run covers only cells that
// differ from the front buffer.
void CScreen::DrawRow(int32_t row, const std::vector<STextCell>& cells, bool changedOnly) {
    const size_t first = static_cast<size_t>(row) * width;
    const STextCell* line = cells.data() + first;
    const STextCell* shown = frontBuffer.data() + first;
    const int32_t y = textOriginY + row * cellHeight;
    int32_t column = 0;
    while (column < width) {
        if (changedOnly && line[column] == shown[column]) {
            ++column;
            continue;
        }
        const STextCell& look = line[column];
        int32_t end = column;
        while (end < width && line[end].SameLook(look) &&
               !(changedOnly && line[end] == shown[end])) {
            runCharacters[end - column] = line[end].character;
            ++end;
        }
        const CScreenFont& runFont = look.underline ? *underlinedFont : *normalFont;
        surface->DrawRun(textOriginX + column * cellWidth, y, runCharacters.data(), end - column,
                         cellWidth, cellHeight, runFont, look.textColour, look.backgroundColour);
        column = end;
    }
}

void CScreen::Paint() {
    UpdateLayout();
    if (!surface || !surface->BeginDraw())
        return;
    if (mode == kScreenText && clientWidth > 0 && clientHeight > 0 && cellWidth > 0 &&
        cellHeight > 0) {
        PaintFrame(textOriginX, textOriginY, textAreaWidth, textAreaHeight);
        for (int32_t row = 0; row < height; ++row)
            DrawRow(row, frontBuffer, false);
    } else if (mode == kScreenGraphics && bitmapValid) {
        PaintFrame(pictureOriginX, pictureOriginY, pictureWidth, pictureHeight);
        surface->DrawPicture(*picture, pictureOriginX, pictureOriginY);
    } else {
        FillClient();
    }
    surface->EndDraw();
}

// Blackens the client area around the rectangle that the grid or the picture covers.
void CScreen::PaintFrame(int32_t left, int32_t top, int32_t areaWidth, int32_t areaHeight) {
    const int32_t right = left + areaWidth;
    const int32_t bottom = top + areaHeight;
    if (left > 0)
        surface->FillBlack(0, 0, left, clientHeight);
    if (right < clientWidth)
        surface->FillBlack(right, 0, clientWidth - right, clientHeight);
    if (top > 0)
        surface->FillBlack(left, 0, areaWidth, top);
    if (bottom < clientHeight)
        surface->FillBlack(left, bottom, areaWidth, clientHeight - bottom);
}

void CScreen::FillClient() {
    if (clientWidth > 0 && clientHeight > 0)
        surface->FillBlack(0, 0, clientWidth, clientHeight);
}

void CScreen::RepaintAll() {
    Paint();
}

bool CScreen::PutCell(int32_t x, int32_t y, const STextCell& cell) {
    if (mode != kScreenText || x < 0 || x >= width || y < 0 || y >= height)
        return false;
    backBuffer[static_cast<size_t>(y) * width + x] = cell;
    dirtyRows[y] = 1;
    return true;
}

bool CScreen::GetCell(int32_t x, int32_t y, STextCell& cell) const {
    if (mode != kScreenText || x < 0 || x >= width || y < 0 || y >= height)
        return false;
    cell = backBuffer[static_cast<size_t>(y) * width + x];
    return true;
}

bool CScreen::GetCellSize(int32_t& outWidth, int32_t& outHeight) const {
    outWidth = cellWidth;
    outHeight = cellHeight;
    return mode == kScreenText;
}

void CScreen::SetScaling(bool fit, bool pixelGap) {
    if (fit == fitToWindow && pixelGap == pixelGapAllowed)
        return;
    fitToWindow = fit;
    pixelGapAllowed = pixelGap;
    UpdateLayout();
    RepaintAll();
}

bool CScreen::GetPixelScale(int32_t& outScale, int32_t& outGap) const {
    outScale = scale;
    outGap = gap;
    return mode == kScreenGraphics;
}

bool CScreen::SetPixels(const uint8_t* source) {
    if (mode != kScreenGraphics)
        return false;
    std::memcpy(pixels.data(), source, pixels.size() * sizeof(uint32_t));
    return RebuildPicture();
}

bool CScreen::GetPixels(uint8_t* destination) {
    if (mode != kScreenGraphics)
        return false;
    std::memcpy(destination, pixels.data(), pixels.size() * sizeof(uint32_t));
    return RebuildPicture();
}

void CScreen::GetWindowCapacity(int32_t& outWidth, int32_t& outHeight) const {
    outWidth = 0;
    outHeight = 0;
    if (clientWidth <= 0 || clientHeight <= 0)
        return;
    if (mode == kScreenText && cellWidth > 0 && cellHeight > 0) {
        outWidth = clientWidth / cellWidth;
        outHeight = clientHeight / cellHeight;
    } else if (mode == kScreenGraphics) {
        outWidth = clientWidth;
        outHeight = clientHeight;
    }
}

bool CScreen::MapPoint(int32_t& x, int32_t& y) const {
    if (clientWidth <= 0 || clientHeight <= 0)
        return false;
    if (mode == kScreenText) {
        if (cellWidth <= 0 || cellHeight <= 0)
            return false;
        x = (x - textOriginX) / cellWidth;
        y = (y - textOriginY) / cellHeight;
        return true;
    }
    if (mode == kScreenGraphics) {
        if (!bitmapValid)
            return false;
        const int32_t pitch = scale + gap;
        x = (x - pictureOriginX) / pitch;
        y = (y - pictureOriginY) / pitch;
        return true;
    }
    return false;
}

void CScreen::ChooseScreenFont() {
    if (!surface)
        return;
    SFontRecord chosen = font;
    if (!surface->ChooseFont(chosen))
        return;
    chosen.faceName = chosen.faceName.substr(0, SFontRecord::kMaxFaceName);
    font = chosen;
    if (mode == kScreenText && !CreateFonts())
        DropMode();
    UpdateLayout();
    RepaintAll();
}

void CScreen::NotifyResize() {
    // Programs usually ask for the new capacity as soon as they see the screen event.
    UpdateLayout();
    if (machine && machine->kernel)
        machine->kernel->PostScreenEvent();
}

void CScreen::GetTextLayout(int32_t& originX, int32_t& originY, int32_t& areaWidth,
                            int32_t& areaHeight) const {
    originX = textOriginX;
    originY = textOriginY;
    areaWidth = textAreaWidth;
    areaHeight = textAreaHeight;
}

void CScreen::GetPictureLayout(int32_t& originX, int32_t& originY, int32_t& outWidth,
                               int32_t& outHeight) const {
    originX = pictureOriginX;
    originY = pictureOriginY;
    outWidth = pictureWidth;
    outHeight = pictureHeight;
}
