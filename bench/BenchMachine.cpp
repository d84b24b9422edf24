#include "bench/BenchMachine.h"

#include "bench/AllocationCounter.h"
#include "isa/Dispatch.h"
#include "support/ErrorStack.h"

#include <chrono>

// The measured part, out of line under a fixed name so that a profiler can count exactly
// the instructions of the slices (valgrind --toggle-collect=bench_run_slices).
extern "C" [[gnu::noinline]] uint64_t bench_run_slices(CKernel* kernel, std::string* message) {
    uint64_t slices = 0;
    while (!kernel->RunSlice(*message))
        ++slices;
    return slices + 1;
}

namespace bench {

CBenchMachine::CBenchMachine()
    : memory(CMachineBuilder(host).Add(std::make_unique<CMemory>())),
      kernel(CMachineBuilder(host).Add(std::make_unique<CKernel>(platform, GetDispatchTable()))),
      disk(CMachineBuilder(host).Add(std::make_unique<CDisk>(true, false, 0))) {
    CMachineBuilder(host).Connect();
}

bool CBenchMachine::Boot(const std::string& image, const std::string& memorySize,
                         const SProgramParameters& parameters, std::string& error) {
    if (!memory.Configure(memorySize) || !disk.Insert(image)) {
        std::string text;
        while (qm::PopError(text))
            error += (error.empty() ? "" : "; ") + text;
        return false;
    }
    CMachineBuilder(host).Boot();
    if (!kernel.IsRunning()) {
        kernel.RunSlice(error);
        return false;
    }
    const uint32_t words[] = {parameters.first, parameters.second, parameters.third};
    for (uint32_t i = 0; i < 3; ++i)
        memory.WriteDword(kParameterAddress + 4 * i, words[i]);
    return true;
}

SEmulatedRun CBenchMachine::Run() {
    SEmulatedRun run;
    std::string message;
    message.reserve(256); // a message handed out must not count as the interpreter's allocation
    const uint64_t instructionsBefore = kernel.GetInstructionCount();
    const uint64_t allocationsBefore = AllocationCount();
    const auto start = std::chrono::steady_clock::now();
    bench_run_slices(&kernel, &message);
    const auto end = std::chrono::steady_clock::now();
    run.allocations = AllocationCount() - allocationsBefore;
    run.instructions = kernel.GetInstructionCount() - instructionsBefore;
    run.seconds = std::chrono::duration<double>(end - start).count();
    if (!kernel.IsRunning()) {
        run.error = message.empty() ? "machine stopped" : message;
        return run;
    }
    if (!message.empty()) {
        run.error = "unexpected message: " + message;
        return run;
    }
    memory.ReadDword(kResultAddress, run.result, true);
    run.ok = true;
    return run;
}

} // namespace bench
