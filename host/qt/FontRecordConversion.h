// The screen's font record as a Qt font and back. The record keeps what the user chose
// (face, height in pixels, weight, slant); Qt finds the nearest font that exists.
#pragma once

#include "devices/ScreenSurface.h"

#include <QFont>

// The face the default record names has a single size on the platform it comes from; here
// it stands for Terminus at 16 pixels, which gives the same 8 x 16 cell.
inline constexpr const char* kDefaultFaceName = "Fixedsys";
inline constexpr const char* kDefaultFaceFamily = "Terminus (TTF)";
inline constexpr int kDefaultFacePixelSize = 16;

// The record's quality: antialiased and the two sub-pixel qualities draw smoothed edges;
// default, draft, proof and non-antialiased quality draw every pixel on or off, as the raster
// faces they were made for.
bool IsSmoothQuality(uint8_t quality);

QFont FontFromRecord(const SFontRecord& record);
// `previous` supplies what a Qt font does not carry (character set, precisions).
SFontRecord RecordFromFont(const QFont& font, const SFontRecord& previous, int dotsPerInch);
