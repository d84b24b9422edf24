// One benchmark machine: data memory, the kernel with the instruction set's dispatch table,
// and the program's disk image in slot 0, booted the way the window program boots.
#pragma once

#include "bench/NativePrograms.h"
#include "core/Kernel.h"
#include "core/Machine.h"
#include "core/Memory.h"
#include "devices/Disk.h"
#include "host/HeadlessPlatform.h"
#include "host/MachineBuilder.h"

#include <cstdint>
#include <string>

namespace bench {

// Where every benchmark program keeps its parameters and its result.
inline constexpr uint32_t kParameterAddress = 8;
inline constexpr uint32_t kResultAddress = 24;

struct SEmulatedRun {
    bool ok = false;
    std::string error;         // why the run failed (machine message or start-up error)
    uint64_t instructions = 0; // executed by the slices of the run
    double seconds = 0.0;      // wall-clock time of the slices
    uint64_t allocations = 0;  // heap allocations while the slices ran
    uint32_t result = 0;
};

class CBenchMachine {
public:
    CBenchMachine();
    CBenchMachine(const CBenchMachine&) = delete;
    CBenchMachine& operator=(const CBenchMachine&) = delete;
    // Boots the image with `memorySize` of data memory and writes the parameters.
    bool Boot(const std::string& image, const std::string& memorySize,
              const SProgramParameters& parameters, std::string& error);
    // Runs slices until the program waits for input or the machine stops.
    SEmulatedRun Run();
    // For drivers that run the slices themselves (a debugger's, bench/DebuggerBench.cpp).
    CKernel& GetKernel() { return kernel; }

private:
    CHeadlessPlatform platform;
    SHostMachine host;
    CMemory& memory;
    CKernel& kernel;
    CDisk& disk;
};

} // namespace bench
