#include "FuzzMachine.h"

#include "devices/RegisterAccess.h"
#include "devices/Screen.h"

CFuzzMachine::CFuzzMachine(const std::vector<uint8_t>& program, const std::string& memorySize)
    : machine(platform, program, memorySize) {
    CMachine& devices = machine.Machine();
    if (machine.IsComplete() && devices.screen) {
        boundedScreen = std::make_unique<CBoundedScreenServices>(devices.screen->GetServiceGroup());
        devices.kernel->SetServiceGroup(5, boundedScreen.get());
    }
}

bool CFuzzMachine::CBoundedScreenServices::Serve(CKernel& kernel, CMemory& memory,
                                                 uint32_t function) {
    using namespace registers;
    if (function == 2 && static_cast<int64_t>(GetInt(memory, kDword08)) * GetInt(memory, kDword0C) >
                             kMaxFuzzScreenCells) {
        PutFlag(memory, kByte3, false);
        return true;
    }
    return screen.Serve(kernel, memory, function);
}
