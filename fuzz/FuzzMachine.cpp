#include "FuzzMachine.h"

#include "abi/SystemCalls.h"
#include "devices/RegisterAccess.h"
#include "devices/Screen.h"

CFuzzMachine::CFuzzMachine(const std::vector<uint8_t>& program, const std::string& memorySize)
    : machine(platform, program, memorySize) {
    CMachine& devices = machine.Machine();
    if (machine.IsComplete() && devices.screen) {
        boundedScreen = std::make_unique<CBoundedScreenServices>(devices.screen->GetServiceGroup());
        devices.kernel->SetServiceGroup(kGroupScreen, boundedScreen.get());
    }
}

bool CFuzzMachine::CBoundedScreenServices::Serve(CKernel& kernel, CMemory& memory,
                                                 uint32_t function) {
    using namespace registers;
    if (function == kScreenSetMode &&
        static_cast<int64_t>(GetInt(memory, kParamDword8)) * GetInt(memory, kParamDword12) >
            kMaxFuzzScreenCells) {
        PutFlag(memory, kParamByte3, false);
        return true;
    }
    return screen.Serve(kernel, memory, function);
}
