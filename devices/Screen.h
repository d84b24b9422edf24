// The machine's display: no mode (black), a text grid of cells drawn with one fixed-pitch
// font, or a picture of 32-bit pixels enlarged by an integer scale. Programs change a back
// buffer (or the pixels); the surface changes only when they ask for a refresh or when the
// window needs repainting.
#pragma once

#include "abi/SystemCalls.h"
#include "core/Device.h"
#include "devices/ScreenServices.h"
#include "devices/ScreenSurface.h"

#include <cstdint>
#include <memory>
#include <vector>

// Colours are 0x00BBGGRR: red in the low byte.
struct STextCell {
    uint8_t character = 0;
    uint8_t underline = 0; // 0 off, anything else on
    uint32_t textColour = 0;
    uint32_t backgroundColour = 0;

    bool operator==(const STextCell&) const = default;
    bool SameLook(const STextCell& other) const {
        return (underline != 0) == (other.underline != 0) && textColour == other.textColour &&
               backgroundColour == other.backgroundColour;
    }
};

inline constexpr int32_t kMaxScreenSize = 10240;

struct SScreenState;

class CScreen : public CDevice {
public:
    // `surface` may be null: a screen without a window draws nothing.
    CScreen(CScreenSurface* surface, bool minimized);
    bool Init(const qm::CINIFile& machineConfig, const qm::CINIFile& userSettings,
              const std::string& commandLine) override;
    ~CScreen() override;
    void SaveSettings(qm::CINIFile& userSettings) override;
    uint32_t GetVersion() const override { return 0x01000100; }

    bool SetMode(int32_t newMode, int32_t newWidth, int32_t newHeight);
    void GetMode(int32_t& outMode, int32_t& outWidth, int32_t& outHeight) const;
    bool Refresh();
    // Full repaint of the surface (the window's paint request).
    void Paint();

    bool PutCell(int32_t x, int32_t y, const STextCell& cell);
    bool GetCell(int32_t x, int32_t y, STextCell& cell) const;
    bool GetCellSize(int32_t& outWidth, int32_t& outHeight) const;
    bool GetPixelScale(int32_t& outScale, int32_t& outGap) const;
    // Copy width * height pixels in or out, then rebuild the picture (its success).
    // The pixels are little-endian 32-bit values; the memory need not be aligned.
    bool SetPixels(const uint8_t* source);
    bool GetPixels(uint8_t* destination);
    void GetWindowCapacity(int32_t& outWidth, int32_t& outHeight) const;
    // A client-area point to text cells or graphics pixels; not limited to the grid.
    bool MapPoint(int32_t& x, int32_t& y) const;

    // The Font menu command.
    void ChooseScreenFont();
    // The window changed size.
    void NotifyResize();
    // How graphics fill the window: enlarged to fit it (the default) or at one window pixel
    // per machine pixel (the host enlarges the whole screen itself); with or without the
    // black line between large blocks.
    void SetScaling(bool fitToWindow, bool pixelGap);
    void SetMinimized(bool value) { minimized = value; }
    bool IsMinimized() const { return minimized; }

    // Views for hosts without a window (printing the text screen, saving the pixels).
    const std::vector<STextCell>& GetFrontBuffer() const { return frontBuffer; }
    const std::vector<uint32_t>& GetPixelBuffer() const { return pixels; }
    const SFontRecord& GetFontRecord() const { return font; }
    void GetTextLayout(int32_t& originX, int32_t& originY, int32_t& areaWidth,
                       int32_t& areaHeight) const;
    void GetPictureLayout(int32_t& originX, int32_t& originY, int32_t& pictureWidth,
                          int32_t& pictureHeight) const;
    bool IsPictureValid() const { return bitmapValid; }

    CServiceGroup& GetServiceGroup() { return services; }

    // Saved machine states (devices/ScreenState.h). Restoring builds the saved mode with the
    // saved font; false when the state is inconsistent or the surface cannot show that mode
    // (the screen then has no mode, as after a failed mode change).
    void SaveState(SScreenState& state) const;
    bool RestoreState(const SScreenState& state);
    // Whether SaveState would give `state` now (a state kept earlier still stands for the
    // screen); cheaper than taking it again.
    bool IsInState(const SScreenState& state) const;

private:
    void LoadFontSettings(const qm::CINIFile& userSettings);
    // Leaves the current mode for the given one; on failure the screen has no mode at all.
    bool SwitchMode(int32_t newMode, int32_t newWidth, int32_t newHeight);
    void DropMode();
    void ReleaseMode();
    bool CreateModeResources();
    bool CreateFonts();
    void UpdateLayout();
    void UpdateTextLayout();
    void UpdatePictureLayout();
    bool RebuildPicture();
    bool DrawChangedCells();
    void DrawRow(int32_t row, const std::vector<STextCell>& cells, bool changedOnly);
    void PaintFrame(int32_t left, int32_t top, int32_t areaWidth, int32_t areaHeight);
    void FillClient();
    void RepaintAll();

    CScreenSurface* surface;
    int32_t mode = kScreenNone;
    int32_t width = 0;
    int32_t height = 0;
    int32_t clientWidth = 0;
    int32_t clientHeight = 0;
    bool minimized;
    SFontRecord font;

    // Text mode.
    std::vector<STextCell> frontBuffer;
    std::vector<STextCell> backBuffer;
    std::vector<uint8_t> dirtyRows;
    std::vector<uint8_t> runCharacters; // one row's characters, gathered for a run
    std::unique_ptr<CScreenFont> normalFont;
    std::unique_ptr<CScreenFont> underlinedFont;
    int32_t cellWidth = 0;
    int32_t cellHeight = 0;
    int32_t textOriginX = 0;
    int32_t textOriginY = 0;
    int32_t textAreaWidth = 0;
    int32_t textAreaHeight = 0;

    // Graphics mode.
    bool bitmapValid = false;
    std::unique_ptr<CScreenPicture> picture;
    std::vector<uint32_t> pixels;
    int32_t scale = 1;
    int32_t gap = 0;
    bool fitToWindow = true;
    bool pixelGapAllowed = true;
    int32_t pictureOriginX = 0;
    int32_t pictureOriginY = 0;
    int32_t pictureWidth = 0;
    int32_t pictureHeight = 0;

    CScreenServices services{*this};
};
