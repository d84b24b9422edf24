// The screen device's drawing surface in the window: an image the size of the client area
// that the screen draws into, and that the widget copies to the window when Qt asks it to
// paint. Text runs are drawn with QPainter, the graphics picture is a 32-bit QImage.
#pragma once

#include "devices/ScreenSurface.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPointF>
#include <QRect>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QWidget;

class CQtScreenSurface : public CScreenSurface {
public:
    // Shows the font dialog; true with the chosen font on OK.
    using FontChooser = std::function<bool(QFont& font, QWidget* parent)>;

    explicit CQtScreenSurface(QWidget& widget);

    void GetClientSize(int32_t& width, int32_t& height) override;
    std::unique_ptr<CScreenFont> CreateFont(const SFontRecord& record) override;
    bool MeasureCell(const CScreenFont& font, int32_t& width, int32_t& height) override;
    bool BeginDraw() override;
    void EndDraw() override;
    void FillBlack(int32_t x, int32_t y, int32_t width, int32_t height) override;
    void DrawRun(int32_t x, int32_t y, const uint8_t* characters, int32_t count, int32_t cellWidth,
                 int32_t cellHeight, const CScreenFont& font, uint32_t textColour,
                 uint32_t backgroundColour) override;
    std::unique_ptr<CScreenPicture> CreatePicture(int32_t width, int32_t height) override;
    bool DrawPicture(CScreenPicture& picture, int32_t x, int32_t y) override;
    bool ChooseFont(SFontRecord& record) override;

    // --- The widget's side ------------------------------------------------------------
    // The image needs a full repaint before it can be shown: its size no longer matches
    // the widget, or the window asked for one.
    bool NeedsFullPaint() const;
    void RequestFullPaint() { fullPaintRequested = true; }
    // While the widget paints, drawing must not ask for yet another paint.
    void BeginPaintEvent() { inPaintEvent = true; }
    void EndPaintEvent();
    // The whole image black (the window without a machine).
    void PaintBlack();
    const QImage& GetImage() const { return image; }

    void SetFontChooser(FontChooser chooser) { fontChooser = std::move(chooser); }
    // The font dialog of the Font command: fixed-pitch faces, no underline or strike-out.
    static std::unique_ptr<class QFontDialog> MakeFontDialog(const QFont& font, QWidget* parent);

    // Window pixels per image pixel (1: the image is the client area).
    void SetZoom(int value);
    int GetZoom() const { return zoom; }
    // The client area the screen sees: the widget's size divided by the zoom.
    QSize ClientSize() const;

private:
    void EnsureImageSize();
    void AddDirty(const QRect& rect) { dirty = dirty.united(rect); }

    QWidget& widget;
    QImage image;
    std::optional<QPainter> painter;
    QRect dirty;
    bool inPaintEvent = false;
    bool fullPaintRequested = true;
    uint32_t currentPen = 0xFFFFFFFFu;
    // The glyphs and positions of the run being drawn, kept to spare an allocation per run.
    std::vector<quint32> runGlyphs;
    std::vector<QPointF> runPositions;
    FontChooser fontChooser;
    int zoom = 1;
};
