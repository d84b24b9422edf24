// A small machine for tests: memory, a kernel with the given dispatch table, and an
// in-memory boot disk in slot 0 holding the program.
#pragma once

#include "common/FakePlatform.h"
#include "common/MemoryDisk.h"
#include "core/Kernel.h"
#include "core/Machine.h"

#include <memory>
#include <string>
#include <vector>

class CTestMachine {
public:
    CTestMachine(const DispatchTable& table, const std::vector<uint8_t>& program,
                 const std::string& memorySize = "64k")
        : kernel(platform, table),
          disk(CMemoryDisk::BootArea(program, static_cast<int32_t>(program.size()))) {
        memory.Configure(memorySize);
        machine.memory = &memory;
        machine.kernel = &kernel;
        machine.disks[0] = &disk;
        machine.diskCount = 1;
        memory.SetMachine(&machine);
        kernel.SetMachine(&machine);
        disk.SetMachine(&machine);
        kernel.Attach();
    }

    // One slice; returns its result and keeps the handed-out message.
    bool Slice() { return kernel.RunSlice(message); }
    // Slices until the machine stops or waits, at most `limit` slices.
    void RunUntilStop(int limit = 1000) {
        for (int i = 0; i < limit && kernel.IsRunning(); ++i) {
            std::string m;
            const bool wait = kernel.RunSlice(m);
            if (!m.empty())
                message = m;
            if (wait && kernel.IsRunning())
                return;
        }
    }

    uint8_t* Data() { return memory.GetData(); }
    uint8_t* Registers() { return memory.GetRegisters(); }

    CFakePlatform platform;
    CMemory memory;
    CMachine machine;
    CKernel kernel;
    CMemoryDisk disk;
    std::string message;
};
