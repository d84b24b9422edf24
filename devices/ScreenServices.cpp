#include "devices/ScreenServices.h"

#include "core/Kernel.h"
#include "core/Memory.h"
#include "core/Platform.h"
#include "devices/RegisterAccess.h"
#include "devices/Screen.h"

using namespace registers;

bool CScreenServices::Serve(CKernel& kernel, CMemory& memory, uint32_t function) {
    switch (function) {
    case kScreenVersion:
        PutDword(memory, kParamDword4, screen.GetVersion());
        return true;
    case kScreenSetMode: {
        const uint8_t mode = GetByte(memory, kParamByte2);
        if (mode != kScreenText && mode != kScreenGraphics) {
            RejectFunction(memory);
            return true;
        }
        PutFlag(memory, kParamByte3,
                screen.SetMode(mode, GetInt(memory, kParamDword8), GetInt(memory, kParamDword12)));
        return true;
    }
    case kScreenGetMode: {
        int32_t mode, width, height;
        screen.GetMode(mode, width, height);
        PutByte(memory, kParamByte2, static_cast<uint8_t>(mode));
        PutInt(memory, kParamDword8, width);
        PutInt(memory, kParamDword12, height);
        return true;
    }
    case kScreenRefresh:
        PutFlag(memory, kParamByte2, screen.Refresh());
        return true;
    case kScreenPutCell: {
        STextCell cell;
        cell.character = GetByte(memory, kParamByte2);
        cell.underline = GetByte(memory, kParamByte3) != 0 ? 1 : 0;
        cell.textColour = GetDword(memory, kParamDword16);
        cell.backgroundColour = GetDword(memory, kParamDword20);
        PutFlag(memory, kParamDword4,
                screen.PutCell(GetInt(memory, kParamDword8), GetInt(memory, kParamDword12), cell));
        return true;
    }
    case kScreenGetCell: {
        STextCell cell;
        const bool ok =
            screen.GetCell(GetInt(memory, kParamDword8), GetInt(memory, kParamDword12), cell);
        PutByte(memory, kParamByte2, cell.character);
        PutFlag(memory, kParamByte3, cell.underline != 0);
        PutDword(memory, kParamDword16, cell.textColour);
        PutDword(memory, kParamDword20, cell.backgroundColour);
        PutFlag(memory, kParamDword4, ok);
        return true;
    }
    case kScreenSetPixels:
        return TransferPixels(memory, true);
    case kScreenGetPixels:
        return TransferPixels(memory, false);
    case kScreenCellSize: {
        int32_t width, height;
        const bool ok = screen.GetCellSize(width, height);
        PutHostPair(kernel.GetPlatform(), memory, EDeviceValue::ScreenCellSize, width, height);
        PutFlag(memory, kParamByte2, ok);
        return true;
    }
    case kScreenPixelScale: {
        int32_t scale, gap;
        const bool ok = screen.GetPixelScale(scale, gap);
        PutHostPair(kernel.GetPlatform(), memory, EDeviceValue::ScreenPixelScale, scale, gap);
        PutFlag(memory, kParamByte2, ok);
        return true;
    }
    case kScreenCapacity: {
        int32_t width, height;
        screen.GetWindowCapacity(width, height);
        PutHostPair(kernel.GetPlatform(), memory, EDeviceValue::ScreenCapacity, width, height);
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
        memory.GetPointer(GetDword(memory, kParamDword4), static_cast<int32_t>(bytes), false);
    if (!range)
        return false;
    if (toScreen)
        memory.NoteRead(range, static_cast<uint32_t>(bytes));
    const bool ok = toScreen ? screen.SetPixels(range) : screen.GetPixels(range);
    PutFlag(memory, kParamByte2, ok);
    return true;
}
