#include "host/qt/QtScreenSurface.h"

#include "host/qt/FontRecordConversion.h"
#include "host/qt/QtText.h"

#include <QCheckBox>
#include <QFontDialog>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QGroupBox>
#include <QRawFont>
#include <QWidget>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

QColor ColourOf(uint32_t value) {
    // 0x00BBGGRR: red in the low byte.
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

// A font with the cell it was measured to fill and the glyph of every byte of the code
// page. Runs are drawn glyph by glyph at cell positions, so text stays on the cell grid
// whatever the font's own advances, and no text shaping is needed for a run.
class CQtFont : public CScreenFont {
public:
    CQtFont(const QFont& base, bool smooth)
        : font(base), rawFont(QRawFont::fromFont(base)), smooth(smooth) {
        const QFontMetricsF metrics(font);
        cellWidth =
            std::max(1, static_cast<int>(std::lround(metrics.horizontalAdvance(QChar('X')))));
        cellHeight = std::max(1, static_cast<int>(std::ceil(metrics.height())));
        ascent = static_cast<int>(std::lround(metrics.ascent()));
        QString characters(256, Qt::Uninitialized);
        for (int byte = 0; byte < 256; ++byte)
            characters[byte] = CellCharacter(static_cast<uint8_t>(byte));
        const QList<quint32> indexes = rawFont.glyphIndexesForString(characters);
        for (int byte = 0; byte < 256 && byte < indexes.size(); ++byte)
            glyphs[byte] = indexes[byte];
    }
    QFont font;
    QRawFont rawFont;
    bool smooth;
    std::array<quint32, 256> glyphs{};
    int cellWidth = 0;
    int cellHeight = 0;
    int ascent = 0;
};

// The graphics picture: a 32-bit image whose bytes are blue, green, red and a fourth byte
// per pixel, which is Qt's RGB32 layout on little-endian hosts.
class CQtPicture : public CScreenPicture {
public:
    explicit CQtPicture(QImage made) : image(std::move(made)) {}
    int32_t GetDepth() const override { return 32; }
    int32_t GetStride() const override { return static_cast<int32_t>(image.bytesPerLine()); }
    uint8_t* GetBits() override { return image.bits(); }
    bool Update() override { return !image.isNull(); }
    QImage image;
};

} // namespace

CQtScreenSurface::CQtScreenSurface(QWidget& widget) : widget(widget) {}

void CQtScreenSurface::GetClientSize(int32_t& width, int32_t& height) {
    const QSize size = ClientSize();
    width = size.width();
    height = size.height();
}

// With a zoom above 1 the screen draws at one image pixel per machine pixel into an image
// that many times smaller than the widget, which the widget enlarges.
QSize CQtScreenSurface::ClientSize() const {
    return widget.size() / zoom;
}

void CQtScreenSurface::SetZoom(int value) {
    value = std::max(1, value);
    if (value == zoom)
        return;
    zoom = value;
    fullPaintRequested = true;
}

std::unique_ptr<CScreenFont> CQtScreenSurface::CreateFont(const SFontRecord& record) {
    return std::make_unique<CQtFont>(FontFromRecord(record), IsSmoothQuality(record.quality));
}

bool CQtScreenSurface::MeasureCell(const CScreenFont& font, int32_t& width, int32_t& height) {
    const auto& qtFont = static_cast<const CQtFont&>(font);
    width = qtFont.cellWidth;
    height = qtFont.cellHeight;
    return true;
}

void CQtScreenSurface::EnsureImageSize() {
    const QSize size = ClientSize();
    if (image.size() == size)
        return;
    if (size.isEmpty()) {
        image = QImage();
    } else {
        image = QImage(size, QImage::Format_RGB32);
        image.fill(Qt::black);
    }
    fullPaintRequested = true;
}

bool CQtScreenSurface::BeginDraw() {
    EnsureImageSize();
    if (image.isNull())
        return false;
    painter.emplace(&image);
    currentPen = 0xFFFFFFFFu;
    return true;
}

void CQtScreenSurface::EndDraw() {
    painter.reset();
    if (!inPaintEvent && !dirty.isEmpty())
        widget.update(QRect(dirty.topLeft() * zoom, dirty.size() * zoom));
    dirty = QRect();
}

void CQtScreenSurface::FillBlack(int32_t x, int32_t y, int32_t width, int32_t height) {
    const QRect rect(x, y, width, height);
    painter->fillRect(rect, Qt::black);
    AddDirty(rect);
}

void CQtScreenSurface::DrawRun(int32_t x, int32_t y, const uint8_t* characters, int32_t count,
                               int32_t cellWidth, int32_t cellHeight, const CScreenFont& font,
                               uint32_t textColour, uint32_t backgroundColour) {
    const auto& qtFont = static_cast<const CQtFont&>(font);
    const QRect rect(x, y, count * cellWidth, cellHeight);
    painter->fillRect(rect, ColourOf(backgroundColour));
    if (currentPen != textColour) {
        painter->setPen(ColourOf(textColour));
        currentPen = textColour;
    }
    const auto size = static_cast<size_t>(count);
    if (runGlyphs.size() < size) {
        runGlyphs.resize(size);
        runPositions.resize(size);
    }
    for (size_t i = 0; i < size; ++i) {
        runGlyphs[i] = qtFont.glyphs[characters[i]];
        runPositions[i] = QPointF(static_cast<qreal>(i) * cellWidth, 0);
    }
    painter->setRenderHint(QPainter::TextAntialiasing, qtFont.smooth);
    QGlyphRun run;
    run.setRawFont(qtFont.rawFont);
    run.setRawData(runGlyphs.data(), runPositions.data(), count);
    run.setUnderline(qtFont.font.underline());
    run.setStrikeOut(qtFont.font.strikeOut());
    painter->drawGlyphRun(QPointF(x, y + qtFont.ascent), run);
    AddDirty(rect);
}

std::unique_ptr<CScreenPicture> CQtScreenSurface::CreatePicture(int32_t width, int32_t height) {
    QImage made(width, height, QImage::Format_RGB32);
    if (made.isNull())
        return nullptr;
    return std::make_unique<CQtPicture>(std::move(made));
}

bool CQtScreenSurface::DrawPicture(CScreenPicture& picture, int32_t x, int32_t y) {
    const QImage& source = static_cast<CQtPicture&>(picture).image;
    painter->setCompositionMode(QPainter::CompositionMode_Source);
    painter->drawImage(QPoint(x, y), source);
    painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    AddDirty(QRect(QPoint(x, y), source.size()));
    return true;
}

bool CQtScreenSurface::ChooseFont(SFontRecord& record) {
    QFont font = FontFromRecord(record);
    bool chosen = false;
    if (fontChooser) {
        chosen = fontChooser(font, &widget);
    } else {
        const std::unique_ptr<QFontDialog> dialog = MakeFontDialog(font, widget.window());
        chosen = dialog->exec() == QDialog::Accepted;
        if (chosen)
            font = dialog->selectedFont();
    }
    if (!chosen)
        return false;
    record = RecordFromFont(font, record, widget.logicalDpiY());
    return true;
}

std::unique_ptr<QFontDialog> CQtScreenSurface::MakeFontDialog(const QFont& font, QWidget* parent) {
    auto dialog = std::make_unique<QFontDialog>(font, parent);
    dialog->setOptions(QFontDialog::MonospacedFonts | QFontDialog::DontUseNativeDialog);
    // Underline and strike-out are the program's choice per cell, not the font's: the
    // dialog offers face, style and size only.
    int effectsHeight = 0;
    for (QCheckBox* effect : dialog->findChildren<QCheckBox*>()) {
        effect->setChecked(false);
        effect->hide();
        if (auto* group = qobject_cast<QGroupBox*>(effect->parentWidget())) {
            effectsHeight = std::max(effectsHeight, group->sizeHint().height());
            group->hide();
        }
    }
    // The sample beside them keeps the height the row had, so its text still shows.
    for (QGroupBox* group : dialog->findChildren<QGroupBox*>()) {
        if (!group->isHidden())
            group->setMinimumHeight(std::max(group->minimumHeight(), effectsHeight));
    }
    return dialog;
}

bool CQtScreenSurface::NeedsFullPaint() const {
    return fullPaintRequested || image.size() != ClientSize();
}

void CQtScreenSurface::EndPaintEvent() {
    inPaintEvent = false;
    fullPaintRequested = false;
}

void CQtScreenSurface::PaintBlack() {
    if (!BeginDraw())
        return;
    FillBlack(0, 0, image.width(), image.height());
    EndDraw();
}
