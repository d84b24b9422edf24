// The surface of a screen without a window: it behaves like a window whose client area is
// 640 x 400 pixels and whose font has an 8 x 16 cell, keeps the graphics picture in memory
// and draws nothing. Hosts without a display read the screen's buffers instead.
#pragma once

#include "devices/ScreenSurface.h"

#include <vector>

class CHeadlessScreenSurface : public CScreenSurface {
public:
    static constexpr int32_t kClientWidth = 640;
    static constexpr int32_t kClientHeight = 400;
    static constexpr int32_t kCellWidth = 8;
    static constexpr int32_t kCellHeight = 16;

    void GetClientSize(int32_t& width, int32_t& height) override;
    std::unique_ptr<CScreenFont> CreateFont(const SFontRecord& record) override;
    bool MeasureCell(const CScreenFont& font, int32_t& width, int32_t& height) override;
    bool BeginDraw() override { return true; }
    void EndDraw() override {}
    void FillBlack(int32_t, int32_t, int32_t, int32_t) override {}
    void DrawRun(int32_t, int32_t, const uint8_t*, int32_t, int32_t, int32_t, const CScreenFont&,
                 uint32_t, uint32_t) override {}
    std::unique_ptr<CScreenPicture> CreatePicture(int32_t width, int32_t height) override;
    bool DrawPicture(CScreenPicture&, int32_t, int32_t) override { return true; }
    // There is nobody to ask.
    bool ChooseFont(SFontRecord&) override { return false; }
};
