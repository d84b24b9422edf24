#include "devices/KeyboardServices.h"

#include "core/Kernel.h"
#include "core/Platform.h"
#include "devices/Keyboard.h"
#include "devices/RegisterAccess.h"

using namespace registers;

bool CKeyboardServices::Serve(CKernel& kernel, CMemory& memory, uint32_t function) {
    CPlatform& platform = kernel.GetPlatform();
    switch (function) {
    case 1:
        PutDword(memory, kDword04, keyboard.GetVersion());
        return true;
    case 2: {
        bool down = false, toggled = false;
        platform.GetKeyState(GetDword(memory, kDword04), down, toggled);
        PutFlag(memory, kByte2, down);
        PutFlag(memory, kByte3, toggled);
        return true;
    }
    case 3:
        PutFlag(memory, kByte2, platform.IsKeyDownNow(GetDword(memory, kDword04)));
        return true;
    default:
        RejectFunction(memory);
        return true;
    }
}
