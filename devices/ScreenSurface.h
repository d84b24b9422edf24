// What the screen device needs from the place it draws into: the window's client area on a
// desktop, a fixed imaginary area in the headless runner, a recording fake in the tests.
// The screen keeps every decision (modes, buffers, layout, runs); a surface only measures
// and paints.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// A logical font as the user chose it; kept in the user settings, section "Font".
struct SFontRecord {
    int32_t height = -12; // below 0: character height in pixels; above 0: cell height
    int32_t width = 0;
    int32_t escapement = 0;
    int32_t orientation = 0;
    int32_t weight = 400;
    uint8_t italic = 0;
    uint8_t underline = 0;
    uint8_t strikeOut = 0;
    uint8_t charSet = 1;
    uint8_t outPrecision = 0;
    uint8_t clipPrecision = 0;
    uint8_t quality = 0;
    uint8_t pitchAndFamily = 0;
    std::string faceName = "Fixedsys"; // at most kMaxFaceName characters

    static constexpr size_t kMaxFaceName = 31;

    bool operator==(const SFontRecord&) const = default;
};

// A font made by a surface from a record; the surface knows what it holds.
class CScreenFont {
public:
    virtual ~CScreenFont() = default;
};

// The off-screen picture of graphics mode: rows of `GetStride` bytes that the screen fills
// in the surface's pixel format, then hands over with `Update`.
class CScreenPicture {
public:
    virtual ~CScreenPicture() = default;
    // Bits per pixel: 16, 24 or 32 are usable; anything else leaves the screen black.
    virtual int32_t GetDepth() const = 0;
    virtual int32_t GetStride() const = 0;
    virtual uint8_t* GetBits() = 0;
    // Takes over the bytes written into GetBits; false when the platform refused them.
    virtual bool Update() = 0;
};

class CScreenSurface {
public:
    virtual ~CScreenSurface() = default;

    // Size of the drawable area in device pixels; 0, 0 while there is none.
    virtual void GetClientSize(int32_t& width, int32_t& height) = 0;

    // Null when the platform cannot make the font.
    virtual std::unique_ptr<CScreenFont> CreateFont(const SFontRecord& record) = 0;
    // Size of the text "X" in the font; false when nothing can be measured now.
    virtual bool MeasureCell(const CScreenFont& font, int32_t& width, int32_t& height) = 0;

    // Drawing happens between BeginDraw and EndDraw; BeginDraw fails when there is no
    // place to draw into.
    virtual bool BeginDraw() = 0;
    virtual void EndDraw() = 0;
    virtual void FillBlack(int32_t x, int32_t y, int32_t width, int32_t height) = 0;
    // One run of `count` cells from (x, y), each cell `cellWidth` wide, characters in the
    // machine's code page, opaque background.
    virtual void DrawRun(int32_t x, int32_t y, const uint8_t* characters, int32_t count,
                         int32_t cellWidth, int32_t cellHeight, const CScreenFont& font,
                         uint32_t textColour, uint32_t backgroundColour) = 0;

    // Null when no picture of that size can be made.
    virtual std::unique_ptr<CScreenPicture> CreatePicture(int32_t width, int32_t height) = 0;
    virtual bool DrawPicture(CScreenPicture& picture, int32_t x, int32_t y) = 0;

    // The font dialog, started from `record`; true and the chosen font in `record` on OK.
    virtual bool ChooseFont(SFontRecord& record) = 0;
};
