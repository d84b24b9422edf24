#include "devices/MouseServices.h"

#include "core/Kernel.h"
#include "core/Platform.h"
#include "devices/Mouse.h"
#include "devices/RegisterAccess.h"

using namespace registers;

bool CMouseServices::Serve(CKernel& kernel, CMemory& memory, uint32_t function) {
    switch (function) {
    case 1:
        PutDword(memory, kDword04, mouse.GetVersion());
        return true;
    case 2:
        PutFlag(memory, kByte2, kernel.GetPlatform().IsKeyDownNow(GetDword(memory, kDword04)));
        return true;
    case 3:
        PutInt(memory, kDword08, mouse.GetX());
        PutInt(memory, kDword0C, mouse.GetY());
        return true;
    default:
        RejectFunction(memory);
        return true;
    }
}
