#include "host/qt/FontRecordConversion.h"

#include "host/qt/QtText.h"
#include "support/TextFunctions.h"

#include <QFontMetrics>

#include <algorithm>
#include <cmath>

namespace {
// A positive record height is the height of the whole cell; find the pixel size whose
// line height comes closest to it.
int PixelSizeForCellHeight(const QFont& font, int cellHeight) {
    QFont probe = font;
    probe.setPixelSize(cellHeight);
    const int lineHeight = QFontMetrics(probe).height();
    if (lineHeight <= 0)
        return cellHeight;
    return std::max(1, cellHeight * cellHeight / lineHeight);
}
} // namespace

bool IsSmoothQuality(uint8_t quality) {
    constexpr uint8_t kAntialiased = 4, kClearType = 5, kClearTypeNatural = 6;
    return quality == kAntialiased || quality == kClearType || quality == kClearTypeNatural;
}

QFont FontFromRecord(const SFontRecord& record) {
    QFont font;
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setStyleStrategy(IsSmoothQuality(record.quality) ? QFont::PreferAntialias
                                                          : QFont::NoAntialias);
    const bool isDefaultFace = qm::EqualsNoCase(record.faceName, kDefaultFaceName);
    font.setFamily(isDefaultFace ? QString(kDefaultFaceFamily) : MachineToQString(record.faceName));
    if (isDefaultFace)
        font.setPixelSize(kDefaultFacePixelSize);
    else if (record.height < 0)
        font.setPixelSize(-record.height);
    else if (record.height > 0)
        font.setPixelSize(PixelSizeForCellHeight(font, record.height));
    else
        font.setPixelSize(kDefaultFacePixelSize);
    font.setWeight(
        static_cast<QFont::Weight>(std::clamp(record.weight == 0 ? 400 : record.weight, 1, 1000)));
    font.setItalic(record.italic != 0);
    font.setUnderline(record.underline != 0);
    font.setStrikeOut(record.strikeOut != 0);
    return font;
}

SFontRecord RecordFromFont(const QFont& font, const SFontRecord& previous, int dotsPerInch) {
    SFontRecord record = previous;
    record.faceName = QStringToMachine(font.family()).substr(0, SFontRecord::kMaxFaceName);
    if (font.pixelSize() > 0)
        record.height = -font.pixelSize();
    else
        record.height = -static_cast<int32_t>(std::lround(font.pointSizeF() * dotsPerInch / 72.0));
    record.weight = font.weight();
    record.italic = font.italic() ? 1 : 0;
    return record;
}
