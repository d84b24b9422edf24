// A small machine for tests: memory, a kernel with the given dispatch table, and an
// in-memory boot disk in slot 0 holding the program, put together by the machine builder.
// The device groups are not registered: a test adds the devices it needs (Builder) and
// connects them.
#pragma once

#include "common/FakePlatform.h"
#include "common/MemoryDisk.h"
#include "core/Kernel.h"
#include "core/Machine.h"
#include "core/Memory.h"
#include "host/MachineBuilder.h"

#include <memory>
#include <string>
#include <vector>

class CTestMachine {
public:
    CTestMachine(const SDispatchTable& table, const std::vector<uint8_t>& program,
                 const std::string& memorySize = "64k")
        : memory(Builder().Add(std::make_unique<CMemory>())),
          kernel(Builder().Add(std::make_unique<CKernel>(platform, table))),
          disk(Builder().Add(std::make_unique<CMemoryDisk>(
              CMemoryDisk::BootArea(program, static_cast<int32_t>(program.size()))))) {
        memory.Configure(memorySize);
        Builder().Connect();
        Builder().Boot();
    }
    CTestMachine(const CTestMachine&) = delete;
    CTestMachine& operator=(const CTestMachine&) = delete;

    // Adds more devices to this machine (Add, then Connect).
    CMachineBuilder Builder() { return CMachineBuilder(host); }

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
    SHostMachine host;
    CMachine& machine = host.machine;
    CMemory& memory;
    CKernel& kernel;
    CMemoryDisk& disk;
    std::string message;
};
