// The screen drawn through Qt: fonts from font records, text runs on the cell grid, the
// graphics picture in the pixel format, and the widget showing the surface's image.
#include "host/qt/QtScreenSurface.h"
#include "devices/Screen.h"
#include "host/qt/FontRecordConversion.h"
#include "host/qt/QtText.h"

#include <QFontInfo>
#include <QSet>
#include <QTest>
#include <QWidget>

#include <cstring>

namespace {

// A plain widget of the given size for the surface to measure and draw for.
struct SSurfaceFixture {
    SSurfaceFixture(int width, int height) { widget.resize(width, height); }
    QWidget widget;
    CQtScreenSurface surface{widget};
};

bool HasColour(const QImage& image, const QRect& area, QColor colour) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (QColor(image.pixel(x, y)).rgb() == colour.rgb())
                return true;
    return false;
}

// Glyph strokes are smoothed at their edges: look for light pixels rather than pure white.
bool HasLightPixel(const QImage& image, const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) > 128)
                return true;
    return false;
}

} // namespace

class QtScreenSurfaceTest : public QObject {
    Q_OBJECT
private slots:
    void defaultFaceIsTerminusWithAnEightBySixteenCell();
    void recordHeightsBecomePixelSizes();
    void chosenFontsBecomeRecords();
    void runsStayOnTheCellGridWithFractionalAdvances();
    void fontQualityDecidesBetweenCrispAndSmoothEdges();
    void textCellsShowTheirColours();
    void graphicsPixelsKeepTheirColours();
    void cellCharactersShowControlCodesAsBlanks();
};

void QtScreenSurfaceTest::defaultFaceIsTerminusWithAnEightBySixteenCell() {
    const QFont font = FontFromRecord(SFontRecord());
    QCOMPARE(QFontInfo(font).family(), QString("Terminus (TTF)"));
    SSurfaceFixture f(640, 400);
    auto made = f.surface.CreateFont(SFontRecord());
    QVERIFY(made);
    int32_t width = 0, height = 0;
    QVERIFY(f.surface.MeasureCell(*made, width, height));
    QCOMPARE(width, 8);
    QCOMPARE(height, 16);
    // The face matches whatever its letter case in the settings file.
    SFontRecord lower;
    lower.faceName = "fixedsys";
    QCOMPARE(QFontInfo(FontFromRecord(lower)).family(), QString("Terminus (TTF)"));
}

void QtScreenSurfaceTest::recordHeightsBecomePixelSizes() {
    SFontRecord record;
    record.faceName = "DejaVu Sans Mono";
    record.height = -20;
    record.weight = 700;
    record.italic = 1;
    QFont font = FontFromRecord(record);
    QCOMPARE(font.pixelSize(), 20);
    QCOMPARE(font.weight(), QFont::Bold);
    QVERIFY(font.italic());
    QCOMPARE(QFontInfo(font).family(), QString("DejaVu Sans Mono"));
    // A positive height is the whole cell: the line height comes close to it.
    record.height = 24;
    font = FontFromRecord(record);
    QVERIFY(std::abs(QFontMetrics(font).height() - 24) <= 1);
}

void QtScreenSurfaceTest::chosenFontsBecomeRecords() {
    SFontRecord previous;
    previous.charSet = 238;
    QFont font("DejaVu Sans Mono");
    font.setPixelSize(18);
    font.setWeight(QFont::Light);
    SFontRecord record = RecordFromFont(font, previous, 96);
    QCOMPARE(record.faceName, std::string("DejaVu Sans Mono"));
    QCOMPARE(record.height, -18);
    QCOMPARE(record.weight, 300);
    QCOMPARE(record.italic, uint8_t(0));
    QCOMPARE(record.charSet, uint8_t(238));
    // Point sizes are turned into pixels at the screen's resolution.
    QFont points("DejaVu Sans Mono", 12);
    QCOMPARE(RecordFromFont(points, previous, 96).height, -16);
    // Face names longer than the record holds are cut.
    QFont longName(QString(40, 'q'));
    longName.setPixelSize(10);
    QCOMPARE(RecordFromFont(longName, previous, 96).faceName, std::string(31, 'q'));
}

void QtScreenSurfaceTest::runsStayOnTheCellGridWithFractionalAdvances() {
    // DejaVu Sans Mono at 16 pixels advances 9.625 pixels a glyph; the cell is 10.
    SFontRecord record;
    record.faceName = "DejaVu Sans Mono";
    record.height = -16;
    SSurfaceFixture f(800, 400);
    auto font = f.surface.CreateFont(record);
    int32_t cellWidth = 0, cellHeight = 0;
    QVERIFY(f.surface.MeasureCell(*font, cellWidth, cellHeight));
    QCOMPARE(cellWidth, 10);
    const std::string bars(80, '|');
    QVERIFY(f.surface.BeginDraw());
    f.surface.DrawRun(0, 0, reinterpret_cast<const uint8_t*>(bars.data()), 80, cellWidth,
                      cellHeight, *font, 0x00FFFFFF, 0);
    f.surface.EndDraw();
    const QImage& image = f.surface.GetImage();
    // The last bar sits inside the last cell, not 30 pixels to its left.
    QVERIFY(HasLightPixel(image, QRect(79 * cellWidth, 0, cellWidth, cellHeight)));
    for (int column : {0, 40, 79}) {
        // Each bar is in the middle of its cell.
        const QRect middle(column * cellWidth + 3, 0, 4, cellHeight);
        QVERIFY2(HasLightPixel(image, middle), qPrintable(QString::number(column)));
        // and nothing lights up at the cell's edges, where a drifting run would put it.
        const QRect edges(column * cellWidth, 0, 2, cellHeight);
        QVERIFY2(!HasLightPixel(image, edges), qPrintable(QString::number(column)));
    }
}

void QtScreenSurfaceTest::fontQualityDecidesBetweenCrispAndSmoothEdges() {
    // The colours of "000" drawn white on black: two for crisp pixels, many for smoothed ones.
    auto colours = [](const char* face, uint8_t quality) {
        SFontRecord record;
        record.faceName = face;
        record.height = -16;
        record.quality = quality;
        SSurfaceFixture f(200, 40);
        auto font = f.surface.CreateFont(record);
        int32_t cellWidth = 0, cellHeight = 0;
        f.surface.MeasureCell(*font, cellWidth, cellHeight);
        if (!f.surface.BeginDraw())
            return -1;
        f.surface.DrawRun(0, 0, reinterpret_cast<const uint8_t*>("000"), 3, cellWidth, cellHeight,
                          *font, 0x00FFFFFF, 0);
        f.surface.EndDraw();
        const QImage& image = f.surface.GetImage();
        QSet<QRgb> seen;
        for (int y = 0; y < cellHeight; ++y)
            for (int x = 0; x < 3 * cellWidth; ++x)
                seen.insert(image.pixel(x, y));
        return static_cast<int>(seen.size());
    };
    // Default, draft, proof and non-antialiased quality: the default face and a scalable one.
    for (uint8_t quality : {0, 1, 2, 3}) {
        QCOMPARE(colours("Fixedsys", quality), 2);
        QCOMPARE(colours("DejaVu Sans Mono", quality), 2);
    }
    // Antialiased and the sub-pixel qualities smooth the edges.
    for (uint8_t quality : {4, 5, 6})
        QVERIFY2(colours("DejaVu Sans Mono", quality) > 4, qPrintable(QString::number(quality)));
}

void QtScreenSurfaceTest::textCellsShowTheirColours() {
    SSurfaceFixture f(640, 400);
    CScreen screen(&f.surface, false);
    QVERIFY(screen.SetMode(kScreenText, 80, 25));
    // 0x00BBGGRR: red text on a green background.
    QVERIFY(screen.PutCell(1, 2, {'W', 0, 0x000000FF, 0x0000FF00}));
    QVERIFY(screen.PutCell(2, 2, {' ', 1, 0x00FF0000, 0x00000000})); // an underlined blank
    QVERIFY(screen.Refresh());
    const QImage& image = f.surface.GetImage();
    const QRect cell(8, 32, 8, 16);
    QVERIFY(HasColour(image, cell, Qt::green));
    QVERIFY(HasColour(image, cell, Qt::red));
    QVERIFY(!HasColour(image, QRect(0, 32, 8, 16), Qt::green));
    QVERIFY(HasColour(image, QRect(16, 32, 8, 16), Qt::blue));
}

void QtScreenSurfaceTest::graphicsPixelsKeepTheirColours() {
    SSurfaceFixture f(4, 4);
    CScreen screen(&f.surface, false);
    QVERIFY(screen.SetMode(kScreenGraphics, 2, 2));
    const uint32_t pixels[4] = {0x000000FF, 0x0000FF00, 0x00FF0000, 0x00123456};
    uint8_t bytes[16];
    std::memcpy(bytes, pixels, sizeof bytes);
    QVERIFY(screen.SetPixels(bytes));
    QVERIFY(screen.Refresh());
    const QImage& image = f.surface.GetImage();
    // Scale 2: each pixel is a 2 x 2 block.
    QCOMPARE(QColor(image.pixel(1, 1)), QColor(255, 0, 0));
    QCOMPARE(QColor(image.pixel(2, 0)), QColor(0, 255, 0));
    QCOMPARE(QColor(image.pixel(0, 3)), QColor(0, 0, 255));
    QCOMPARE(QColor(image.pixel(3, 2)), QColor(0x56, 0x34, 0x12));
}

void QtScreenSurfaceTest::cellCharactersShowControlCodesAsBlanks() {
    QCOMPARE(CellCharacter(0), QChar(' '));
    QCOMPARE(CellCharacter(9), QChar(' '));
    QCOMPARE(CellCharacter('A'), QChar('A'));
    QCOMPARE(CellCharacter(0x80), QChar(0x20AC)); // the euro sign
    QCOMPARE(CellCharacter(0xE9), QChar(0xE9));
    QCOMPARE(CellCharacter(0x81), QChar(' ')); // a gap of the code page
}

QTEST_MAIN(QtScreenSurfaceTest)
#include "QtScreenSurfaceTest.moc"
