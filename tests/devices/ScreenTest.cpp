#include "devices/Screen.h"
#include "devices/FakeScreenSurface.h"
#include "devices/ScreenText.h"
#include "support/ErrorStack.h"
#include "support/INIFile.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using SFill = CFakeScreenSurface::SFill;
using SRun = CFakeScreenSurface::SRun;

STextCell Cell(char c, uint32_t ink = 0xFFFFFF, uint32_t paper = 0, uint8_t underline = 0) {
    return {static_cast<uint8_t>(c), underline, ink, paper};
}

// A screen in the given mode on a fake surface of the given client size.
struct SScreenFixture {
    SScreenFixture(int32_t mode, int32_t width, int32_t height, int32_t clientWidth = 640,
                   int32_t clientHeight = 400) {
        surface.clientWidth = clientWidth;
        surface.clientHeight = clientHeight;
        EXPECT_TRUE(screen.SetMode(mode, width, height));
        surface.ClearRecords();
    }
    CFakeScreenSurface surface;
    CScreen screen{&surface, false};
};

TEST(ScreenLayoutTest, TextGridIsCentredAndMayOverhangTheWindow) {
    struct {
        int32_t client[2], cell[2], grid[2];
        int32_t origin[2], area[2];
    } cases[] = {
        {{800, 600}, {10, 7}, {80, 25}, {0, 213}, {800, 175}},
        {{640, 400}, {8, 16}, {80, 25}, {0, 0}, {640, 400}},
        {{600, 300}, {10, 16}, {80, 25}, {-100, -50}, {800, 400}},
        {{801, 401}, {8, 16}, {80, 25}, {80, 0}, {640, 400}},
        {{641, 401}, {8, 16}, {80, 25}, {0, 0}, {640, 400}},
        {{100, 100}, {3, 3}, {1, 1}, {49, 49}, {3, 3}},
    };
    for (const auto& c : cases) {
        CFakeScreenSurface surface;
        surface.clientWidth = c.client[0];
        surface.clientHeight = c.client[1];
        surface.cellWidth = c.cell[0];
        surface.cellHeight = c.cell[1];
        CScreen screen(&surface, false);
        ASSERT_TRUE(screen.SetMode(kScreenText, c.grid[0], c.grid[1]));
        int32_t x, y, w, h;
        screen.GetTextLayout(x, y, w, h);
        EXPECT_EQ(x, c.origin[0]) << c.client[0] << "x" << c.client[1];
        EXPECT_EQ(y, c.origin[1]) << c.client[0] << "x" << c.client[1];
        EXPECT_EQ(w, c.area[0]);
        EXPECT_EQ(h, c.area[1]);
    }
}

TEST(ScreenLayoutTest, GraphicsScaleAndGapFollowTheFit) {
    struct {
        int32_t client[2], size[2];
        int32_t scale, gap;
        int32_t origin[2], picture[2];
    } cases[] = {
        {{1024, 768}, {320, 200}, 3, 0, {32, 84}, {960, 600}},
        {{1000, 1000}, {100, 100}, 8, 1, {50, 50}, {900, 900}},
        {{500, 400}, {640, 480}, 1, 0, {-70, -40}, {640, 480}},
        {{640, 400}, {320, 200}, 2, 0, {0, 0}, {640, 400}},
        {{500, 500}, {100, 100}, 4, 1, {0, 0}, {500, 500}},   // fit 5
        {{800, 800}, {100, 100}, 7, 1, {0, 0}, {800, 800}},   // fit 8
        {{400, 400}, {100, 100}, 4, 0, {0, 0}, {400, 400}},   // fit 4
        {{100, 100}, {100, 100}, 1, 0, {0, 0}, {100, 100}},   // fit 1
        {{5000, 200}, {10, 100}, 2, 0, {2490, 0}, {20, 200}}, // the smaller fit wins
    };
    for (const auto& c : cases) {
        SScreenFixture f(kScreenGraphics, c.size[0], c.size[1], c.client[0], c.client[1]);
        int32_t scale, gap, x, y, w, h;
        EXPECT_TRUE(f.screen.GetPixelScale(scale, gap));
        f.screen.GetPictureLayout(x, y, w, h);
        const std::string label = std::to_string(c.size[0]) + " in " + std::to_string(c.client[0]) +
                                  "x" + std::to_string(c.client[1]);
        EXPECT_EQ(scale, c.scale) << label;
        EXPECT_EQ(gap, c.gap) << label;
        EXPECT_EQ(x, c.origin[0]) << label;
        EXPECT_EQ(y, c.origin[1]) << label;
        EXPECT_EQ(w, c.picture[0]) << label;
        EXPECT_EQ(h, c.picture[1]) << label;
        ASSERT_NE(f.surface.lastPicture, nullptr);
        EXPECT_EQ(f.surface.lastPicture->width, c.picture[0]);
        EXPECT_EQ(f.surface.lastPicture->height, c.picture[1]);
    }
}

std::vector<uint8_t> PixelBytes(const std::vector<uint32_t>& pixels) {
    std::vector<uint8_t> bytes(pixels.size() * 4);
    std::memcpy(bytes.data(), pixels.data(), bytes.size());
    return bytes;
}

TEST(ScreenPictureTest, PixelsBecomeBlocksWithBlackGaps) {
    SScreenFixture f(kScreenGraphics, 100, 100, 1000, 1000);
    std::vector<uint32_t> pixels(100 * 100);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = 0x00102030u + static_cast<uint32_t>(i % 7); // never black
    ASSERT_TRUE(f.screen.SetPixels(PixelBytes(pixels).data()));
    const CFakePicture& picture = *f.surface.lastPicture;
    for (int32_t y = 0; y < 900; ++y) {
        for (int32_t x = 0; x < 900; ++x) {
            const bool inGap = x % 9 == 8 || y % 9 == 8;
            const uint32_t source = pixels[(y / 9) * 100 + x / 9];
            // 0x00BBGGRR shown as red, green, blue.
            const uint32_t expected =
                inGap ? 0 : (source & 0xFF) << 16 | (source & 0xFF00) | (source >> 16 & 0xFF);
            ASSERT_EQ(picture.Pixel32(x, y), expected) << x << "," << y;
        }
    }
}

TEST(ScreenPictureTest, EveryUsableDepthGetsTheColoursOfThePixel) {
    // 0x00BBGGRR = blue 0x12, green 0xF4, red 0x9C.
    const uint32_t colour = 0x0012F49Cu;
    struct {
        int32_t depth;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {32, {0x12, 0xF4, 0x9C}},
        {24, {0x12, 0xF4, 0x9C}},
        // red 10011 (0x9C >> 3), green 111101 (0xF4 >> 2), blue 00010 (0x12 >> 3).
        {16, {0xA2, 0x9F}},
    };
    for (const auto& c : cases) {
        CFakeScreenSurface surface;
        surface.depth = c.depth;
        surface.clientWidth = 2; // scale 1: one picture pixel per machine pixel
        surface.clientHeight = 1;
        CScreen screen(&surface, false);
        ASSERT_TRUE(screen.SetMode(kScreenGraphics, 2, 1));
        const std::vector<uint32_t> pixels = {colour, 0x00FFFFFFu};
        EXPECT_TRUE(screen.SetPixels(PixelBytes(pixels).data())) << c.depth;
        const uint8_t* bits = surface.lastPicture->bits.data();
        EXPECT_EQ(std::vector<uint8_t>(bits, bits + c.bytes.size()), c.bytes) << c.depth;
        // The second pixel follows directly: white in every depth.
        const size_t bytesPerPixel = static_cast<size_t>(c.depth / 8);
        EXPECT_EQ(bits[bytesPerPixel], 0xFF) << c.depth;
        EXPECT_EQ(bits[bytesPerPixel + 1], 0xFF) << c.depth;
    }
}

TEST(ScreenPictureTest, UnusableDepthShowsBlackAndMapsNoPoints) {
    CFakeScreenSurface surface;
    surface.depth = 8;
    CScreen screen(&surface, false);
    ASSERT_TRUE(screen.SetMode(kScreenGraphics, 320, 200));
    EXPECT_FALSE(screen.IsPictureValid());
    surface.ClearRecords();
    EXPECT_FALSE(screen.Refresh());
    EXPECT_EQ(surface.fills, std::vector<SFill>({{0, 0, 640, 400}}));
    EXPECT_TRUE(surface.pictureDraws.empty());
    int32_t x = 10, y = 10;
    EXPECT_FALSE(screen.MapPoint(x, y));
    const std::vector<uint8_t> pixels(320 * 200 * 4);
    EXPECT_FALSE(screen.SetPixels(pixels.data()));
}

TEST(ScreenPictureTest, PictureLivesAsLongAsItsSizeStays) {
    SScreenFixture f(kScreenGraphics, 320, 200, 640, 400);
    EXPECT_EQ(f.surface.picturesCreated, 1);
    f.screen.Paint();
    f.surface.clientWidth = 700; // still fit 2
    f.screen.Paint();
    EXPECT_EQ(f.surface.picturesCreated, 1);
    f.surface.clientWidth = 1000;
    f.surface.clientHeight = 700; // fit 3
    f.screen.Paint();
    EXPECT_EQ(f.surface.picturesCreated, 2);
    EXPECT_EQ(f.surface.lastPicture->width, 960);
}

TEST(ScreenPictureTest, NewPictureIsRebuiltFromThePixels) {
    SScreenFixture f(kScreenGraphics, 2, 2, 2, 2);
    const std::vector<uint32_t> pixels = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF};
    ASSERT_TRUE(f.screen.SetPixels(PixelBytes(pixels).data()));
    f.surface.clientWidth = f.surface.clientHeight = 4; // scale 2
    f.screen.Paint();
    const CFakePicture& picture = *f.surface.lastPicture;
    EXPECT_EQ(picture.width, 4);
    EXPECT_EQ(picture.Pixel32(1, 1), 0xFF0000u);
    EXPECT_EQ(picture.Pixel32(2, 0), 0x00FF00u);
    EXPECT_EQ(picture.Pixel32(0, 3), 0x0000FFu);
    EXPECT_EQ(picture.Pixel32(3, 3), 0xFFFFFFu);
}

TEST(ScreenPictureTest, SetAndGetPixelsCopyWholePicturesInGraphicsModeOnly) {
    SScreenFixture f(kScreenGraphics, 3, 2);
    const std::vector<uint32_t> pixels = {1, 2, 3, 4, 5, 0x00ABCDEF};
    std::vector<uint8_t> in = PixelBytes(pixels);
    ASSERT_TRUE(f.screen.SetPixels(in.data()));
    std::vector<uint8_t> out(in.size() + 1, 0xEE);
    EXPECT_TRUE(f.screen.GetPixels(out.data()));
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.end() - 1), in);
    EXPECT_EQ(out.back(), 0xEE);
    EXPECT_EQ(f.screen.GetPixelBuffer(), pixels);

    // The result is the picture's: a refused update fails the call after the copy.
    f.surface.lastPicture->acceptUpdate = false;
    in[0] = 9;
    EXPECT_FALSE(f.screen.SetPixels(in.data()));
    EXPECT_EQ(f.screen.GetPixelBuffer()[0], 9u);

    ASSERT_TRUE(f.screen.SetMode(kScreenText, 80, 25));
    EXPECT_FALSE(f.screen.SetPixels(in.data()));
    EXPECT_FALSE(f.screen.GetPixels(out.data()));
}

TEST(ScreenModeTest, SizesOutsideTheRangeChangeNothing) {
    SScreenFixture f(kScreenText, 80, 25);
    ASSERT_TRUE(f.screen.PutCell(1, 1, Cell('a')));
    const int32_t bad[][3] = {{kScreenText, 10241, 25},  {kScreenText, 80, -1},
                              {kScreenGraphics, -5, 10}, {kScreenGraphics, 10, 10241},
                              {kScreenGraphics, 0, 10},  {kScreenGraphics, 10, 0}};
    for (const auto& b : bad)
        EXPECT_FALSE(f.screen.SetMode(b[0], b[1], b[2])) << b[1] << "x" << b[2];
    int32_t mode, w, h;
    f.screen.GetMode(mode, w, h);
    EXPECT_EQ(mode, kScreenText);
    EXPECT_EQ(w, 80);
    EXPECT_EQ(h, 25);
    STextCell cell;
    ASSERT_TRUE(f.screen.GetCell(1, 1, cell));
    EXPECT_EQ(cell.character, 'a');
    EXPECT_TRUE(f.surface.fills.empty());
}

TEST(ScreenModeTest, SameModeKeepsTheCellsAndANewSizeClearsThem) {
    SScreenFixture f(kScreenText, 80, 25);
    ASSERT_TRUE(f.screen.PutCell(5, 5, Cell('q')));
    EXPECT_TRUE(f.screen.SetMode(kScreenText, 80, 25));
    EXPECT_EQ(f.surface.draws, 0); // nothing repainted
    STextCell cell;
    ASSERT_TRUE(f.screen.GetCell(5, 5, cell));
    EXPECT_EQ(cell.character, 'q');

    EXPECT_TRUE(f.screen.SetMode(kScreenText, 40, 25));
    ASSERT_TRUE(f.screen.GetCell(5, 5, cell));
    EXPECT_EQ(cell, STextCell());
    EXPECT_FALSE(f.screen.GetCell(40, 0, cell));
    EXPECT_EQ(f.surface.draws, 1); // the new mode was painted at once
}

TEST(ScreenModeTest, FontFailureLeavesNoMode) {
    SScreenFixture f(kScreenGraphics, 10, 10);
    f.surface.failFonts = true;
    EXPECT_FALSE(f.screen.SetMode(kScreenText, 80, 25));
    int32_t mode, w, h;
    f.screen.GetMode(mode, w, h);
    EXPECT_EQ(mode, kScreenNone);
    EXPECT_FALSE(f.screen.PutCell(0, 0, Cell('x')));
    EXPECT_FALSE(f.screen.Refresh());
    int32_t x = 5, y = 5;
    EXPECT_FALSE(f.screen.MapPoint(x, y));
    f.screen.GetWindowCapacity(w, h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
}

TEST(ScreenTextTest, PutCellOutsideTheGridOrModeFailsAndMarksNothing) {
    SScreenFixture f(kScreenText, 80, 25);
    const int32_t outside[][2] = {{-1, 0}, {0, -1}, {80, 0}, {0, 25}, {80, 25}};
    for (const auto& p : outside)
        EXPECT_FALSE(f.screen.PutCell(p[0], p[1], Cell('z'))) << p[0] << "," << p[1];
    EXPECT_TRUE(f.screen.Refresh());
    EXPECT_TRUE(f.surface.runs.empty());

    SScreenFixture g(kScreenGraphics, 80, 25);
    STextCell cell;
    EXPECT_FALSE(g.screen.PutCell(0, 0, Cell('z')));
    EXPECT_FALSE(g.screen.GetCell(0, 0, cell));
}

TEST(ScreenTextTest, RefreshDrawsChangedCellsInRunsOfEqualLook) {
    SScreenFixture f(kScreenText, 80, 25);
    const uint32_t red = 0x0000FF, blue = 0xFF0000;
    // Row 2: "ab" red, "cd" blue, "e" red underlined, a gap, "g" red.
    f.screen.PutCell(0, 2, Cell('a', red));
    f.screen.PutCell(1, 2, Cell('b', red));
    f.screen.PutCell(2, 2, Cell('c', blue));
    f.screen.PutCell(3, 2, Cell('d', blue));
    f.screen.PutCell(4, 2, Cell('e', red, 0, 7));
    f.screen.PutCell(6, 2, Cell('g', red));
    // Row 4: the same look throughout, background differs from the text colour.
    for (int32_t x = 10; x < 13; ++x)
        f.screen.PutCell(x, 4, Cell('x', red, blue));
    // Written back unchanged: the row is dirty but nothing differs.
    f.screen.PutCell(0, 7, STextCell());

    EXPECT_TRUE(f.screen.Refresh());
    const std::vector<SRun> expected = {
        {0, 32, "ab", false, red, 0},      {16, 32, "cd", false, blue, 0},
        {32, 32, "e", true, red, 0},       {48, 32, "g", false, red, 0},
        {80, 64, "xxx", false, red, blue},
    };
    EXPECT_EQ(f.surface.runs, expected);

    // The front buffer caught up: nothing more to draw.
    f.surface.ClearRecords();
    EXPECT_TRUE(f.screen.Refresh());
    EXPECT_TRUE(f.surface.runs.empty());

    // Only the cell that changed is drawn, though its neighbours look the same.
    f.screen.PutCell(1, 2, Cell('B', red));
    EXPECT_TRUE(f.screen.Refresh());
    EXPECT_EQ(f.surface.runs, std::vector<SRun>({{8, 32, "B", false, red, 0}}));
}

TEST(ScreenTextTest, UnderlineFlagsOtherThanZeroShareOneRun) {
    SScreenFixture f(kScreenText, 10, 1);
    f.screen.PutCell(0, 0, Cell('a', 1, 0, 1));
    f.screen.PutCell(1, 0, Cell('b', 1, 0, 200));
    EXPECT_TRUE(f.screen.Refresh());
    ASSERT_EQ(f.surface.runs.size(), 1u);
    EXPECT_EQ(f.surface.runs[0].text, "ab");
    EXPECT_TRUE(f.surface.runs[0].underlined);
}

TEST(ScreenTextTest, OriginOffsetsTheRuns) {
    SScreenFixture f(kScreenText, 80, 25, 800, 600); // cell 8 x 16: origin (80, 100)
    f.screen.PutCell(3, 2, Cell('k'));
    EXPECT_TRUE(f.screen.Refresh());
    ASSERT_EQ(f.surface.runs.size(), 1u);
    EXPECT_EQ(f.surface.runs[0].x, 80 + 3 * 8);
    EXPECT_EQ(f.surface.runs[0].y, 100 + 2 * 16);
}

TEST(ScreenTextTest, PaintShowsTheFrontBufferUntilTheNextRefresh) {
    SScreenFixture f(kScreenText, 2, 1, 40, 40); // grid 16 x 16 at (12, 12)
    f.screen.PutCell(0, 0, Cell('a'));
    f.screen.PutCell(1, 0, Cell('b'));
    ASSERT_TRUE(f.screen.Refresh());
    f.screen.PutCell(0, 0, Cell('Z'));
    f.surface.ClearRecords();
    f.screen.Paint();
    EXPECT_EQ(f.surface.runs, std::vector<SRun>({{12, 12, "ab", false, 0xFFFFFF, 0}}));
    // Left and right strips over the full height, then above and below over the grid's width.
    const std::vector<SFill> frame = {
        {0, 0, 12, 40}, {28, 0, 12, 40}, {12, 0, 16, 12}, {12, 28, 16, 12}};
    EXPECT_EQ(f.surface.fills, frame);
    STextCell cell;
    ASSERT_TRUE(f.screen.GetCell(0, 0, cell));
    EXPECT_EQ(cell.character, 'Z');
}

TEST(ScreenTextTest, PaintOfAGridThatFillsTheWindowDrawsNoFrame) {
    SScreenFixture f(kScreenText, 80, 25);
    f.screen.Paint();
    EXPECT_TRUE(f.surface.fills.empty());
    // All 25 rows of black-on-black cells, one run each.
    ASSERT_EQ(f.surface.runs.size(), 25u);
    EXPECT_EQ(f.surface.runs[24].y, 24 * 16);
    EXPECT_EQ(f.surface.runs[24].text, std::string(80, '\0'));
}

TEST(ScreenTextTest, MinimizedRefreshSucceedsWithoutDrawing) {
    SScreenFixture f(kScreenText, 80, 25);
    f.screen.SetMinimized(true);
    f.screen.PutCell(0, 0, Cell('m'));
    EXPECT_TRUE(f.screen.Refresh());
    EXPECT_TRUE(f.surface.runs.empty());
    EXPECT_EQ(f.screen.GetFrontBuffer()[0], STextCell());
    f.screen.SetMinimized(false);
    EXPECT_TRUE(f.screen.Refresh());
    EXPECT_EQ(f.surface.runs.size(), 1u);
    EXPECT_EQ(f.screen.GetFrontBuffer()[0].character, 'm');
}

TEST(ScreenTextTest, WithoutACellSizeRefreshFillsBlackAndFails) {
    CFakeScreenSurface surface;
    surface.canMeasure = false;
    CScreen screen(&surface, false);
    ASSERT_TRUE(screen.SetMode(kScreenText, 80, 25));
    screen.PutCell(0, 0, Cell('a'));
    surface.ClearRecords();
    EXPECT_FALSE(screen.Refresh());
    EXPECT_EQ(surface.fills, std::vector<SFill>({{0, 0, 640, 400}}));
    EXPECT_TRUE(surface.runs.empty());
    int32_t w, h;
    EXPECT_TRUE(screen.GetCellSize(w, h));
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
}

TEST(ScreenTextTest, WithoutADrawingPlaceRefreshFails) {
    SScreenFixture f(kScreenText, 80, 25);
    f.screen.PutCell(0, 0, Cell('a'));
    f.surface.canDraw = false;
    EXPECT_FALSE(f.screen.Refresh());
    f.surface.canDraw = true;
    EXPECT_TRUE(f.screen.Refresh());
    EXPECT_EQ(f.surface.runs.size(), 1u);
}

TEST(ScreenTest, NoModeRefreshFailsAndPaintFillsBlack) {
    CFakeScreenSurface surface;
    CScreen screen(&surface, false);
    EXPECT_FALSE(screen.Refresh());
    screen.Paint();
    EXPECT_EQ(surface.fills, std::vector<SFill>({{0, 0, 640, 400}}));
}

TEST(ScreenTest, GraphicsRefreshCopiesThePictureAtItsOrigin) {
    SScreenFixture f(kScreenGraphics, 320, 200, 1024, 768);
    EXPECT_TRUE(f.screen.Refresh());
    EXPECT_EQ(f.surface.pictureDraws, std::vector<SFill>({{32, 84, 960, 600}}));
    EXPECT_TRUE(f.surface.fills.empty());
    f.surface.ClearRecords();
    f.screen.Paint();
    const std::vector<SFill> frame = {
        {0, 0, 32, 768}, {992, 0, 32, 768}, {32, 0, 960, 84}, {32, 684, 960, 84}};
    EXPECT_EQ(f.surface.fills, frame);
    EXPECT_EQ(f.surface.pictureDraws.size(), 1u);
}

TEST(ScreenTest, MapPointTruncatesTowardZeroAndIsNotLimitedToTheGrid) {
    SScreenFixture text(kScreenText, 80, 25, 800, 600); // origin (80, 100), cell 8 x 16
    struct {
        int32_t in[2], out[2];
    } textCases[] = {
        {{80, 100}, {0, 0}},       {{80 + 2 * 8 + 3, 100 + 16}, {2, 1}},
        {{80 - 16, 100}, {-2, 0}}, {{80 - 7, 100 - 15}, {0, 0}},
        {{799, 599}, {89, 31}},
    };
    for (const auto& c : textCases) {
        int32_t x = c.in[0], y = c.in[1];
        ASSERT_TRUE(text.screen.MapPoint(x, y));
        EXPECT_EQ(x, c.out[0]) << c.in[0] << "," << c.in[1];
        EXPECT_EQ(y, c.out[1]) << c.in[0] << "," << c.in[1];
    }

    SScreenFixture graphics(kScreenGraphics, 100, 100, 1000, 1000); // pitch 9 at (50, 50)
    int32_t x = 50 + 9 * 4 + 8, y = 49;
    ASSERT_TRUE(graphics.screen.MapPoint(x, y));
    EXPECT_EQ(x, 4);
    EXPECT_EQ(y, 0);
    x = 0;
    y = 50 + 900;
    ASSERT_TRUE(graphics.screen.MapPoint(x, y));
    EXPECT_EQ(x, -5);
    EXPECT_EQ(y, 100);
}

TEST(ScreenTest, MapPointNeedsAClientArea) {
    SScreenFixture f(kScreenText, 80, 25, 0, 0);
    int32_t x = 1, y = 1;
    EXPECT_FALSE(f.screen.MapPoint(x, y));
    CScreen none(nullptr, false);
    EXPECT_FALSE(none.MapPoint(x, y));
}

TEST(ScreenTest, WindowCapacityCountsWholeCellsOrPixels) {
    SScreenFixture text(kScreenText, 80, 25, 805, 600);
    text.surface.cellWidth = 10;
    text.screen.Paint(); // layout runs again with the new cell
    int32_t w, h;
    text.screen.GetWindowCapacity(w, h);
    EXPECT_EQ(w, 80);
    EXPECT_EQ(h, 37);

    SScreenFixture graphics(kScreenGraphics, 320, 200, 805, 600);
    graphics.screen.GetWindowCapacity(w, h);
    EXPECT_EQ(w, 805);
    EXPECT_EQ(h, 600);

    CFakeScreenSurface surface;
    CScreen none(&surface, false);
    none.GetWindowCapacity(w, h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
}

TEST(ScreenTest, WithoutASurfaceNothingIsDrawnAndTextModeCannotBeMade) {
    CScreen screen(nullptr, false);
    EXPECT_FALSE(screen.SetMode(kScreenText, 80, 25)); // no fonts without a window
    EXPECT_TRUE(screen.SetMode(kScreenGraphics, 10, 10));
    EXPECT_FALSE(screen.IsPictureValid());
    EXPECT_FALSE(screen.Refresh());
}

// --- Settings and the font -------------------------------------------------------------

TEST(ScreenSettingsTest, InitReadsTheFontAndStartsIn80By25Text) {
    qm::CINIFile settings;
    settings.Parse("[Font]\nHeight=-16\nWeight=700\nItalic=1\nCharSet=0\nFaceName=Terminus\n");
    CFakeScreenSurface surface;
    CScreen screen(&surface, false);
    ASSERT_TRUE(screen.Init(qm::CINIFile(), settings, ""));
    int32_t mode, w, h;
    screen.GetMode(mode, w, h);
    EXPECT_EQ(mode, kScreenText);
    EXPECT_EQ(w, 80);
    EXPECT_EQ(h, 25);
    SFontRecord expected;
    expected.height = -16;
    expected.weight = 700;
    expected.italic = 1;
    expected.charSet = 0;
    expected.faceName = "Terminus";
    EXPECT_EQ(screen.GetFontRecord(), expected);
    EXPECT_GE(surface.draws, 1); // painted at once
}

TEST(ScreenSettingsTest, AbsentKeysAndAnEmptyFaceKeepTheDefaults) {
    qm::CINIFile settings;
    settings.Parse("[Font]\nWeight=300\nFaceName=\n");
    CFakeScreenSurface surface;
    CScreen screen(&surface, false);
    ASSERT_TRUE(screen.Init(qm::CINIFile(), settings, ""));
    SFontRecord expected;
    expected.weight = 300;
    EXPECT_EQ(screen.GetFontRecord(), expected);
    EXPECT_EQ(expected.faceName, "Fixedsys");
    EXPECT_EQ(expected.height, -12);
    EXPECT_EQ(expected.charSet, 1);
}

TEST(ScreenSettingsTest, LongFaceNamesAreCutTo31Characters) {
    qm::CINIFile settings;
    settings.Parse("[Font]\nFaceName=" + std::string(40, 'f') + "\n");
    CFakeScreenSurface surface;
    CScreen screen(&surface, false);
    ASSERT_TRUE(screen.Init(qm::CINIFile(), settings, ""));
    EXPECT_EQ(screen.GetFontRecord().faceName, std::string(31, 'f'));
}

TEST(ScreenSettingsTest, SaveWritesTheFiveFontKeys) {
    qm::CINIFile settings;
    settings.Parse("[Font]\nHeight=20\nItalic=1\nFaceName=Mono Face\n");
    CFakeScreenSurface surface;
    CScreen screen(&surface, false);
    ASSERT_TRUE(screen.Init(qm::CINIFile(), settings, ""));
    qm::CINIFile saved;
    screen.SaveSettings(saved);
    int32_t height = 0, weight = 0, italic = 0, charSet = 0;
    std::string face;
    saved.GetInt("Font", "Height", height);
    saved.GetInt("Font", "Weight", weight);
    saved.GetInt("Font", "Italic", italic);
    saved.GetInt("Font", "CharSet", charSet);
    saved.GetString("Font", "FaceName", face);
    EXPECT_EQ(height, 20);
    EXPECT_EQ(weight, 400);
    EXPECT_EQ(italic, 1);
    EXPECT_EQ(charSet, 1);
    EXPECT_EQ(face, "Mono Face");
    std::string text;
    saved.Serialize(text);
    qm::CINIFile reread;
    reread.Parse(text);
    CScreen again(&surface, false);
    ASSERT_TRUE(again.Init(qm::CINIFile(), reread, ""));
    EXPECT_EQ(again.GetFontRecord(), screen.GetFontRecord());
}

TEST(ScreenSettingsTest, InitFailsWithItsMessageWhenNoFontCanBeMade) {
    CFakeScreenSurface surface;
    surface.failFonts = true;
    CScreen screen(&surface, false);
    qm::ClearErrors();
    EXPECT_FALSE(screen.Init(qm::CINIFile(), qm::CINIFile(), ""));
    std::string message;
    ASSERT_TRUE(qm::PopError(message));
    EXPECT_EQ(message, "[.\\screen,674] Unable to create screen device");
    int32_t mode, w, h;
    screen.GetMode(mode, w, h);
    EXPECT_EQ(mode, kScreenNone);
}

TEST(ScreenFontTest, CancelChangesNothing) {
    SScreenFixture f(kScreenText, 80, 25);
    const int before = f.surface.fontsCreated;
    f.screen.ChooseScreenFont();
    EXPECT_EQ(f.surface.dialogs, 1);
    EXPECT_EQ(f.surface.fontsCreated, before);
    EXPECT_EQ(f.screen.GetFontRecord(), SFontRecord());
}

TEST(ScreenFontTest, ChosenFontIsUsedAtOnceInTextMode) {
    SScreenFixture f(kScreenText, 80, 25);
    f.screen.PutCell(0, 0, Cell('a'));
    ASSERT_TRUE(f.screen.Refresh());
    SFontRecord chosen;
    chosen.faceName = "Other Mono";
    chosen.height = -20;
    f.surface.chosenFont = &chosen;
    f.surface.cellWidth = 10;
    f.surface.cellHeight = 20;
    f.surface.ClearRecords();
    f.screen.ChooseScreenFont();
    EXPECT_EQ(f.screen.GetFontRecord(), chosen);
    int32_t w, h;
    ASSERT_TRUE(f.screen.GetCellSize(w, h));
    EXPECT_EQ(w, 10);
    EXPECT_EQ(h, 20);
    // Repainted with the new layout: the grid overhangs the 640 x 400 client now.
    ASSERT_FALSE(f.surface.runs.empty());
    EXPECT_EQ(f.surface.runs[0].x, 320 - 400);
    EXPECT_EQ(f.surface.runs[0].text[0], 'a');
}

TEST(ScreenFontTest, FailingFontDropsToNoMode) {
    SScreenFixture f(kScreenText, 80, 25);
    SFontRecord chosen;
    chosen.faceName = "Broken";
    f.surface.chosenFont = &chosen;
    f.surface.failFonts = true;
    f.screen.ChooseScreenFont();
    int32_t mode, w, h;
    f.screen.GetMode(mode, w, h);
    EXPECT_EQ(mode, kScreenNone);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
    EXPECT_EQ(f.surface.fills, std::vector<SFill>({{0, 0, 640, 400}}));
    EXPECT_EQ(f.screen.GetFontRecord().faceName, "Broken"); // still saved for next time
}

TEST(ScreenFontTest, InGraphicsModeTheFontWaitsForTheNextTextMode) {
    SScreenFixture f(kScreenGraphics, 320, 200);
    SFontRecord chosen;
    chosen.faceName = "Later";
    f.surface.chosenFont = &chosen;
    const int before = f.surface.fontsCreated;
    f.screen.ChooseScreenFont();
    EXPECT_EQ(f.surface.fontsCreated, before);
    ASSERT_TRUE(f.screen.SetMode(kScreenText, 80, 25));
    f.surface.ClearRecords();
    f.screen.PutCell(0, 0, Cell('a'));
    ASSERT_TRUE(f.screen.Refresh());
    ASSERT_EQ(f.surface.runs.size(), 1u);
    EXPECT_EQ(f.surface.fontsCreated, before + 2);
}

TEST(ScreenTest, DestructionPaintsTheWindowBlack) {
    CFakeScreenSurface surface;
    {
        CScreen screen(&surface, false);
        ASSERT_TRUE(screen.SetMode(kScreenText, 80, 25));
        surface.ClearRecords();
    }
    EXPECT_EQ(surface.fills, std::vector<SFill>({{0, 0, 640, 400}}));
    EXPECT_TRUE(surface.runs.empty());
}

} // namespace

namespace {

TEST(ScreenTextLinesTest, FrontBufferRowsInUtf8WithoutTrailingBlanks) {
    CFakeScreenSurface surface;
    CScreen screen(&surface, false);
    ASSERT_TRUE(screen.SetMode(kScreenText, 6, 3));
    const char* row0 = "a\0b\xE9 ";
    for (int32_t x = 0; x < 5; ++x)
        screen.PutCell(x, 0, Cell(row0[x]));
    screen.PutCell(5, 2, Cell('\x80'));
    // Before the refresh the window shows nothing yet.
    EXPECT_EQ(TextScreenLines(screen), std::vector<std::string>({"", "", ""}));
    ASSERT_TRUE(screen.Refresh());
    EXPECT_EQ(TextScreenLines(screen),
              std::vector<std::string>({"a b\xC3\xA9", "", "     \xE2\x82\xAC"}));
    ASSERT_TRUE(screen.SetMode(kScreenGraphics, 6, 3));
    EXPECT_TRUE(TextScreenLines(screen).empty());
}

} // namespace
