#include "devices/KeyboardServices.h"

#include "core/Kernel.h"
#include "core/Platform.h"
#include "devices/Keyboard.h"
#include "devices/RegisterAccess.h"

using namespace registers;

bool CKeyboardServices::Serve(CKernel& kernel, CMemory& memory, uint32_t function) {
    CPlatform& platform = kernel.GetPlatform();
    switch (function) {
    case kKeyboardVersion:
        PutDword(memory, kParamDword4, keyboard.GetVersion());
        return true;
    case kKeyboardKeyState: {
        bool down = false, toggled = false;
        platform.GetKeyState(GetDword(memory, kParamDword4), down, toggled);
        PutFlag(memory, kParamByte2, down);
        PutFlag(memory, kParamByte3, toggled);
        return true;
    }
    case kKeyboardKeyNow:
        PutFlag(memory, kParamByte2, platform.IsKeyDownNow(GetDword(memory, kParamDword4)));
        return true;
    default:
        RejectFunction(memory);
        return true;
    }
}
