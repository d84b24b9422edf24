#include "devices/ScreenServices.h"

#include "core/Memory.h"
#include "devices/RegisterAccess.h"
#include "devices/Screen.h"

using namespace registers;

bool CScreenServices::Serve(CKernel&, CMemory& memory, uint32_t function) {
    switch (function) {
    case 1:
        PutDword(memory, kDword04, screen.GetVersion());
        return true;
    case 2: {
        const uint8_t mode = GetByte(memory, kByte2);
        if (mode != kScreenText && mode != kScreenGraphics) {
            RejectFunction(memory);
            return true;
        }
        PutFlag(memory, kByte3,
                screen.SetMode(mode, GetInt(memory, kDword08), GetInt(memory, kDword0C)));
        return true;
    }
    case 3: {
        int32_t mode, width, height;
        screen.GetMode(mode, width, height);
        PutByte(memory, kByte2, static_cast<uint8_t>(mode));
        PutInt(memory, kDword08, width);
        PutInt(memory, kDword0C, height);
        return true;
    }
    case 4:
        PutFlag(memory, kByte2, screen.Refresh());
        return true;
    case 5: {
        STextCell cell;
        cell.character = GetByte(memory, kByte2);
        cell.underline = GetByte(memory, kByte3) != 0 ? 1 : 0;
        cell.textColour = GetDword(memory, kDword10);
        cell.backgroundColour = GetDword(memory, kDword14);
        PutFlag(memory, kDword04,
                screen.PutCell(GetInt(memory, kDword08), GetInt(memory, kDword0C), cell));
        return true;
    }
    case 6: {
        STextCell cell;
        const bool ok = screen.GetCell(GetInt(memory, kDword08), GetInt(memory, kDword0C), cell);
        PutByte(memory, kByte2, cell.character);
        PutFlag(memory, kByte3, cell.underline != 0);
        PutDword(memory, kDword10, cell.textColour);
        PutDword(memory, kDword14, cell.backgroundColour);
        PutFlag(memory, kDword04, ok);
        return true;
    }
    case 7:
        return TransferPixels(memory, true);
    case 8:
        return TransferPixels(memory, false);
    case 9: {
        int32_t width, height;
        const bool ok = screen.GetCellSize(width, height);
        PutInt(memory, kDword08, width);
        PutInt(memory, kDword0C, height);
        PutFlag(memory, kByte2, ok);
        return true;
    }
    case 10: {
        int32_t scale, gap;
        const bool ok = screen.GetPixelScale(scale, gap);
        PutInt(memory, kDword08, scale);
        PutInt(memory, kDword0C, gap);
        PutFlag(memory, kByte2, ok);
        return true;
    }
    case 11: {
        int32_t width, height;
        screen.GetWindowCapacity(width, height);
        PutInt(memory, kDword08, width);
        PutInt(memory, kDword0C, height);
        return true;
    }
    default:
        RejectFunction(memory);
        return true;
    }
}

// Functions 7 and 8: a whole picture of the current size between data memory and the screen.
// A range outside memory is the program's fault and stops it; outside graphics mode the
// call only reports failure.
bool CScreenServices::TransferPixels(CMemory& memory, bool toScreen) {
    int32_t mode, width, height;
    screen.GetMode(mode, width, height);
    int64_t bytes = static_cast<int64_t>(width) * height * 4;
    if (bytes < 1)
        bytes = 1;
    uint8_t* range =
        memory.GetPointer(GetDword(memory, kDword04), static_cast<int32_t>(bytes), false);
    if (!range)
        return false;
    const bool ok = toScreen ? screen.SetPixels(range) : screen.GetPixels(range);
    PutFlag(memory, kByte2, ok);
    return true;
}
