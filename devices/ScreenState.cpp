// The screen's part of a saved machine state.
#include "devices/ScreenState.h"

bool SScreenState::IsConsistent() const {
    if (width < 0 || height < 0 || width > kMaxScreenSize || height > kMaxScreenSize)
        return false;
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    switch (mode) {
    case kScreenNone:
        return width == 0 && height == 0 && frontBuffer.empty() && backBuffer.empty() &&
               dirtyRows.empty() && pixels.empty();
    case kScreenText:
        return frontBuffer.size() == count && backBuffer.size() == count &&
               dirtyRows.size() == static_cast<size_t>(height) && pixels.empty();
    case kScreenGraphics:
        return count > 0 && pixels.size() == count && frontBuffer.empty() && backBuffer.empty() &&
               dirtyRows.empty();
    default:
        return false;
    }
}

void CScreen::SaveState(SScreenState& state) const {
    state.mode = mode;
    state.width = width;
    state.height = height;
    state.font = font;
    state.cellWidth = cellWidth;
    state.cellHeight = cellHeight;
    state.frontBuffer = frontBuffer;
    state.backBuffer = backBuffer;
    state.dirtyRows = dirtyRows;
    state.pixels = pixels;
}

bool CScreen::IsInState(const SScreenState& state) const {
    return state.mode == mode && state.width == width && state.height == height &&
           state.font == font && state.cellWidth == cellWidth && state.cellHeight == cellHeight &&
           state.dirtyRows == dirtyRows && state.backBuffer == backBuffer &&
           state.frontBuffer == frontBuffer && state.pixels == pixels;
}

bool CScreen::RestoreState(const SScreenState& state) {
    if (!state.IsConsistent())
        return false;
    font = state.font;
    // The mode is made anew even when it is the current one: the font may differ.
    if (state.mode == kScreenNone) {
        DropMode();
        UpdateLayout();
        RepaintAll();
        return true;
    }
    if (!SwitchMode(state.mode, state.width, state.height))
        return false;
    if (mode == kScreenText) {
        frontBuffer = state.frontBuffer;
        backBuffer = state.backBuffer;
        dirtyRows = state.dirtyRows;
    } else {
        pixels = state.pixels;
        RebuildPicture();
    }
    RepaintAll();
    return true;
}
