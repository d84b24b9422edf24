#include "FuzzMachine.h"

#include "common/MemoryDisk.h"
#include "core/Kernel.h"
#include "core/Memory.h"
#include "devices/RegisterAccess.h"
#include "devices/Screen.h"
#include "support/ErrorStack.h"
#include "support/INIFile.h"

CFuzzMachine::CFuzzMachine(const std::vector<uint8_t>& program, const std::string& memorySize) {
    qm::CINIFile machineConfig;
    const qm::CINIFile userSettings;
    machineConfig.SetString("Memory", "Size", memorySize);
    machineConfig.SetInt("Kernel", "Priority", 3);
    machineConfig.SetString("MIDI", "Enabled", "false");
    machineConfig.SetInt("Disks", "Count", 2);
    machineConfig.SetString("Disks", "Read-only", "1");

    SMachineEnvironment environment;
    environment.platform = &platform;
    environment.screenSurface = &surface;
    environment.beforeBoot = [&program](CMachine& machine) {
        // Slot 0 becomes a disk in memory that boots the program; slot 1 stays an empty
        // file-backed slot.
        delete machine.disks[0];
        auto* disk = new CMemoryDisk(
            CMemoryDisk::BootArea(program, static_cast<int32_t>(program.size())), 0);
        disk->SetMachine(&machine);
        machine.disks[0] = disk;
    };
    complete = AssembleMachine(host, environment, machineConfig, userSettings);
    qm::ClearErrors();
    if (complete && host.machine.screen) {
        boundedScreen =
            std::make_unique<CBoundedScreenServices>(host.machine.screen->GetServiceGroup());
        host.machine.kernel->SetServiceGroup(5, boundedScreen.get());
    }
}

// The devices go without saving settings: a fuzzed machine remembers nothing.
CFuzzMachine::~CFuzzMachine() = default;

bool CFuzzMachine::CBoundedScreenServices::Serve(CKernel& kernel, CMemory& memory,
                                                 uint32_t function) {
    using namespace registers;
    if (function == 2 && static_cast<int64_t>(GetInt(memory, kDword08)) *
                                 GetInt(memory, kDword0C) >
                             kMaxFuzzScreenCells) {
        PutFlag(memory, kByte3, false);
        return true;
    }
    return screen.Serve(kernel, memory, function);
}
