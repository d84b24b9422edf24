#include "devices/MouseServices.h"

#include "core/Kernel.h"
#include "core/Platform.h"
#include "devices/Mouse.h"
#include "devices/RegisterAccess.h"

using namespace registers;

bool CMouseServices::Serve(CKernel& kernel, CMemory& memory, uint32_t function) {
    switch (function) {
    case kMouseVersion:
        PutDword(memory, kParamDword4, mouse.GetVersion());
        return true;
    case kMouseButtonNow:
        PutFlag(memory, kParamByte2,
                kernel.GetPlatform().IsKeyDownNow(GetDword(memory, kParamDword4)));
        return true;
    case kMousePosition:
        PutHostPair(kernel.GetPlatform(), memory, EDeviceValue::MousePosition, mouse.GetX(),
                    mouse.GetY());
        return true;
    default:
        RejectFunction(memory);
        return true;
    }
}
