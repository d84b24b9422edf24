// tarquil-debug-bench: the integer loop of the benchmark suite with and without a debugger
// that has 10 breakpoints and 2 watch ranges (none of them reached, so every instruction
// pays for the checks and nothing stops the run). Prints one line:
//
//   loop instructions=N plain_mips=M debugger_mips=M ratio=R
//
// R is the debugger's speed over the plain speed (the aim: at least 0.5). Best of the
// repetitions, as in tarquil-bench.
#include "bench/BenchMachine.h"
#include "debug/Debugger.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>

namespace {

using namespace bench;

struct SMeasured {
    uint64_t instructions = 0;
    double seconds = 0.0;
    uint32_t result = 0;
};

bool RunOnce(const std::string& image, const SProgramParameters& parameters, bool withDebugger,
             SMeasured& measured) {
    CBenchMachine machine;
    std::string error;
    if (!machine.Boot(image, "2m", parameters, error)) {
        std::cerr << "loop: cannot start: " << error << "\n";
        return false;
    }
    CKernel& kernel = machine.GetKernel();
    CDebugger debugger(kernel);
    debugger.SetTraceLength(0);
    if (withDebugger) {
        for (uint32_t i = 0; i < 10; ++i)
            debugger.AddBreakpoint(0x10000 + 97 * i, {}, error);
        // A dword variable and a 16-byte record.
        debugger.AddWatchpoint(0x20000, 4, error);
        debugger.AddWatchpoint(0x30000, 16, error);
    }
    std::string message;
    message.reserve(256);
    const uint64_t before = kernel.GetInstructionCount();
    const auto start = std::chrono::steady_clock::now();
    while (!debugger.RunSlice(message)) {
    }
    const auto end = std::chrono::steady_clock::now();
    SDebugStopInfo stop;
    if (!kernel.IsRunning() || debugger.TakeStop(stop)) {
        std::cerr << "loop: the run stopped early: " << message << "\n";
        return false;
    }
    measured.instructions = kernel.GetInstructionCount() - before;
    measured.seconds = std::chrono::duration<double>(end - start).count();
    kernel.GetMemory().ReadDword(kResultAddress, measured.result, true);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"The integer loop with and without a debugger attached."};
    std::string imageDirectory = "bench/programs";
    uint32_t rounds = 25'000'000;
    int repetitions = 3;
    app.add_option("--images", imageDirectory, "the directory of the assembled programs (.disk)");
    app.add_option("--rounds", rounds, "rounds of the loop");
    app.add_option("--repeat", repetitions, "runs of each kind; the best time counts")
        ->check(CLI::PositiveNumber);
    CLI11_PARSE(app, argc, argv);

    const std::string image = imageDirectory + "/loop.disk";
    const SProgramParameters parameters{rounds};
    SMeasured plain, debugged;
    for (int i = 0; i < repetitions; ++i) {
        SMeasured a, b;
        if (!RunOnce(image, parameters, false, a) || !RunOnce(image, parameters, true, b))
            return 1;
        if (a.result != b.result || a.instructions != b.instructions) {
            std::cerr << "loop: the runs disagree\n";
            return 1;
        }
        if (i == 0 || a.seconds < plain.seconds)
            plain = a;
        if (i == 0 || b.seconds < debugged.seconds)
            debugged = b;
    }
    const double plainMips = plain.instructions / plain.seconds / 1e6;
    const double debuggedMips = debugged.instructions / debugged.seconds / 1e6;
    std::printf("loop instructions=%llu plain_mips=%.1f debugger_mips=%.1f ratio=%.2f\n",
                static_cast<unsigned long long>(plain.instructions), plainMips, debuggedMips,
                debuggedMips / plainMips);
    return 0;
}
