// What a saved machine state keeps of the screen: the mode with its size, both text
// buffers and the rows waiting for a refresh, the graphics pixels, the font record, and the
// cell size the font had when the state was taken (for the record: a screen that loads the
// state measures its own font again).
#pragma once

#include "devices/Screen.h"

#include <cstdint>
#include <vector>

struct SScreenState {
    int32_t mode = kScreenNone;
    int32_t width = 0;
    int32_t height = 0;
    SFontRecord font;
    int32_t cellWidth = 0;
    int32_t cellHeight = 0;
    std::vector<STextCell> frontBuffer;
    std::vector<STextCell> backBuffer;
    std::vector<uint8_t> dirtyRows;
    std::vector<uint32_t> pixels;

    // Whether the buffers have the sizes the mode asks for.
    bool IsConsistent() const;
};
