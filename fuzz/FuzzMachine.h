// A whole machine for fuzzing the processor: every device that a program reaches through
// the system calls (screen, keyboard, mouse, disks) assembled as the hosts assemble it,
// with a deterministic platform, a screen without a window and an in-memory boot disk in
// slot 0, so that a run touches no file and depends on nothing but its input.
#pragma once

#include "FuzzPlatform.h"
#include "core/ServiceGroup.h"
#include "devices/HeadlessScreenSurface.h"
#include "host/MachineAssembly.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CKernel;
class CMemory;

class CFuzzMachine {
public:
    // The largest screen a fuzzed program may ask for: bigger modes are legal but only cost
    // the fuzzer time and memory without reaching new code.
    static constexpr int64_t kMaxFuzzScreenCells = 512 * 512;

    // Boots `program` from slot 0 with the given data memory size ("64k" and the like).
    CFuzzMachine(const std::vector<uint8_t>& program, const std::string& memorySize);
    ~CFuzzMachine();
    CFuzzMachine(const CFuzzMachine&) = delete;
    CFuzzMachine& operator=(const CFuzzMachine&) = delete;

    bool IsComplete() const { return complete; }
    CKernel& Kernel() { return *host.machine.kernel; }
    CMemory& Memory() { return *host.machine.memory; }
    CMachine& Machine() { return host.machine; }
    CFuzzPlatform& Platform() { return platform; }

private:
    // Group 5 with a bound on the size of a new mode, in front of the real screen services.
    class CBoundedScreenServices : public CServiceGroup {
    public:
        explicit CBoundedScreenServices(CServiceGroup& screen) : screen(screen) {}
        bool Serve(CKernel& kernel, CMemory& memory, uint32_t function) override;

    private:
        CServiceGroup& screen;
    };

    CFuzzPlatform platform;
    CHeadlessScreenSurface surface;
    SHostMachine host;
    std::unique_ptr<CBoundedScreenServices> boundedScreen;
    bool complete = false;
};
