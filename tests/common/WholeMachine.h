// A whole machine for tests and fuzzing: every device that a program reaches through the
// system calls (screen, keyboard, mouse, disks) assembled as the hosts assemble it, with a
// screen without a window and an in-memory boot disk in slot 0 (slot 1 is an empty
// file-backed slot), so that a run touches no file.
#pragma once

#include "common/MemoryDisk.h"
#include "core/Kernel.h"
#include "core/Memory.h"
#include "host/HeadlessScreenSurface.h"
#include "host/MachineAssembly.h"
#include "host/MachineBuilder.h"
#include "support/ErrorStack.h"
#include "support/INIFile.h"

#include <memory>
#include <string>
#include <vector>

class CWholeMachine {
public:
    // Boots `program` from slot 0 with the given data memory size ("64k" and the like).
    CWholeMachine(CPlatform& platform, const std::vector<uint8_t>& program,
                  const std::string& memorySize) {
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
        environment.beforeBoot = [this, &program](CMachine&) {
            CMachineBuilder builder(host);
            builder.ReplaceDisk(0, std::make_unique<CMemoryDisk>(CMemoryDisk::BootArea(
                                       program, static_cast<int32_t>(program.size()))));
            builder.Connect();
        };
        complete = AssembleMachine(host, environment, machineConfig, userSettings);
        qm::ClearErrors();
    }
    CWholeMachine(const CWholeMachine&) = delete;
    CWholeMachine& operator=(const CWholeMachine&) = delete;

    bool IsComplete() const { return complete; }
    CKernel& Kernel() { return *host.machine.kernel; }
    CMemory& Memory() { return *host.machine.memory; }
    CMachine& Machine() { return host.machine; }

private:
    CHeadlessScreenSurface surface;
    SHostMachine host;
    bool complete = false;
};
