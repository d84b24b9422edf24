// The whole machine of the tests with a deterministic platform, and a bound on the size of a
// new screen mode: bigger modes are legal but only cost the fuzzer time and memory without
// reaching new code.
#pragma once

#include "FuzzPlatform.h"
#include "common/WholeMachine.h"
#include "core/ServiceGroup.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CFuzzMachine {
public:
    static constexpr int64_t kMaxFuzzScreenCells = 512 * 512;

    CFuzzMachine(const std::vector<uint8_t>& program, const std::string& memorySize);

    bool IsComplete() const { return machine.IsComplete(); }
    CKernel& Kernel() { return machine.Kernel(); }
    CMemory& Memory() { return machine.Memory(); }
    CFuzzPlatform& Platform() { return platform; }

private:
    // Group 5 with the bound, in front of the real screen services.
    class CBoundedScreenServices : public CServiceGroup {
    public:
        explicit CBoundedScreenServices(CServiceGroup& screen) : screen(screen) {}
        bool Serve(CKernel& kernel, CMemory& memory, uint32_t function) override;

    private:
        CServiceGroup& screen;
    };

    CFuzzPlatform platform;
    CWholeMachine machine;
    std::unique_ptr<CBoundedScreenServices> boundedScreen;
};
