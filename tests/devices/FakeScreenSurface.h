// A drawing surface for tests: sizes are plain values, and every drawing call is recorded.
#pragma once

#include "devices/ScreenSurface.h"

#include <string>
#include <vector>

class CFakeFont : public CScreenFont {
public:
    explicit CFakeFont(const SFontRecord& record) : record(record) {}
    SFontRecord record;
};

class CFakePicture : public CScreenPicture {
public:
    CFakePicture(int32_t width, int32_t height, int32_t depth)
        : width(width), height(height), depth(depth), stride(((width * depth + 31) / 32) * 4),
          bits(static_cast<size_t>(stride) * height) {}
    int32_t GetDepth() const override { return depth; }
    int32_t GetStride() const override { return stride; }
    uint8_t* GetBits() override { return bits.data(); }
    bool Update() override {
        ++updates;
        return acceptUpdate;
    }

    // The 32-bit picture's value at (x, y) as 0x00RRGGBB.
    uint32_t Pixel32(int32_t x, int32_t y) const {
        const uint8_t* p = bits.data() + static_cast<size_t>(y) * stride + x * 4;
        return p[2] << 16 | p[1] << 8 | p[0];
    }

    int32_t width, height, depth, stride;
    std::vector<uint8_t> bits;
    int updates = 0;
    bool acceptUpdate = true;
};

class CFakeScreenSurface : public CScreenSurface {
public:
    struct SFill {
        int32_t x, y, width, height;
        bool operator==(const SFill&) const = default;
    };
    struct SRun {
        int32_t x, y;
        std::string text;
        bool underlined;
        uint32_t textColour, backgroundColour;
        bool operator==(const SRun&) const = default;
    };

    void GetClientSize(int32_t& width, int32_t& height) override {
        width = clientWidth;
        height = clientHeight;
    }
    std::unique_ptr<CScreenFont> CreateFont(const SFontRecord& record) override {
        ++fontsCreated;
        if (failFonts)
            return nullptr;
        return std::make_unique<CFakeFont>(record);
    }
    bool MeasureCell(const CScreenFont&, int32_t& width, int32_t& height) override {
        width = cellWidth;
        height = cellHeight;
        return canMeasure;
    }
    bool BeginDraw() override {
        if (!canDraw)
            return false;
        ++draws;
        return true;
    }
    void EndDraw() override {}
    void FillBlack(int32_t x, int32_t y, int32_t width, int32_t height) override {
        fills.push_back({x, y, width, height});
    }
    void DrawRun(int32_t x, int32_t y, const uint8_t* characters, int32_t count, int32_t, int32_t,
                 const CScreenFont& font, uint32_t textColour, uint32_t backgroundColour) override {
        const auto& record = static_cast<const CFakeFont&>(font).record;
        runs.push_back({x, y, std::string(reinterpret_cast<const char*>(characters), count),
                        record.underline != 0, textColour, backgroundColour});
    }
    std::unique_ptr<CScreenPicture> CreatePicture(int32_t width, int32_t height) override {
        ++picturesCreated;
        auto made = std::make_unique<CFakePicture>(width, height, depth);
        lastPicture = made.get();
        return made;
    }
    bool DrawPicture(CScreenPicture& picture, int32_t x, int32_t y) override {
        pictureDraws.push_back({x, y, static_cast<CFakePicture&>(picture).width,
                                static_cast<CFakePicture&>(picture).height});
        return true;
    }
    bool ChooseFont(SFontRecord& record) override {
        ++dialogs;
        if (!chosenFont)
            return false;
        record = *chosenFont;
        return true;
    }

    void ClearRecords() {
        fills.clear();
        runs.clear();
        pictureDraws.clear();
        draws = 0;
    }

    int32_t clientWidth = 640, clientHeight = 400;
    int32_t cellWidth = 8, cellHeight = 16;
    int32_t depth = 32;
    bool canMeasure = true;
    bool canDraw = true;
    bool failFonts = false;
    const SFontRecord* chosenFont = nullptr;

    int fontsCreated = 0;
    int picturesCreated = 0;
    int draws = 0;
    int dialogs = 0;
    CFakePicture* lastPicture = nullptr; // owned by the screen
    std::vector<SFill> fills;
    std::vector<SRun> runs;
    std::vector<SFill> pictureDraws; // position and size of each picture drawn
};
