// tarquil-bench: runs the benchmark programs on the emulated machine and their native
// references on the host, and prints one line of figures per program:
//
//   NAME instructions=N seconds=S mips=M native_seconds=S ratio=R allocations=A
//
// Times are the best of the repetitions (the machine may be busy with other work). With
// --quick the programs run once with small parameters and without their references, which
// is what a profiler run needs (see scripts/bench.sh).
#include "bench/BenchMachine.h"
#include "bench/NativePrograms.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace {

using namespace bench;

struct SProgram {
    const char* name;
    SProgramParameters full;
    SProgramParameters quick;
    uint32_t (*native)(const SProgramParameters&);
};

const SProgram kPrograms[] = {
    {"loop", {25'000'000}, {500'000}, &NativeLoop},
    {"sieve", {1'048'576}, {65'536}, &NativeSieve},
    {"mandelbrot", {200, 200, 256}, {40, 40, 64}, &NativeMandelbrot},
    {"blocks", {1'000'000}, {20'000}, &NativeBlocks},
    {"calls", {30}, {20}, &NativeCalls},
};

// The sieve's flags lie at 64 KB and take 1 MB.
const char* const kMemorySize = "2m";

double NativeSeconds(const SProgram& program, const SProgramParameters& parameters,
                     uint32_t& result) {
    const auto start = std::chrono::steady_clock::now();
    result = program.native(parameters);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs one program; false when it failed or disagrees with its reference.
bool Measure(const SProgram& program, const std::string& imageDirectory, bool quick,
             int repetitions) {
    const SProgramParameters& parameters = quick ? program.quick : program.full;
    const std::string image = imageDirectory + "/" + program.name + ".disk";
    SEmulatedRun best;
    for (int i = 0; i < repetitions; ++i) {
        CBenchMachine machine;
        std::string error;
        if (!machine.Boot(image, kMemorySize, parameters, error)) {
            std::cerr << program.name << ": cannot start: " << error << "\n";
            return false;
        }
        const SEmulatedRun run = machine.Run();
        if (!run.ok) {
            std::cerr << program.name << ": " << run.error << "\n";
            return false;
        }
        if (i == 0 || run.seconds < best.seconds)
            best = run;
    }

    double nativeSeconds = 0.0;
    if (!quick) {
        uint32_t expected = 0;
        for (int i = 0; i < repetitions; ++i) {
            const double seconds = NativeSeconds(program, parameters, expected);
            nativeSeconds = i == 0 ? seconds : std::min(nativeSeconds, seconds);
        }
        if (expected != best.result) {
            std::cerr << program.name << ": the machine computed " << best.result
                      << ", the native reference " << expected << "\n";
            return false;
        }
    }

    char line[256];
    std::snprintf(line, sizeof line,
                  "%s instructions=%llu seconds=%.4f mips=%.1f native_seconds=%.5f ratio=%.1f "
                  "allocations=%llu",
                  program.name, static_cast<unsigned long long>(best.instructions), best.seconds,
                  best.seconds > 0 ? best.instructions / best.seconds / 1e6 : 0.0, nativeSeconds,
                  nativeSeconds > 0 ? best.seconds / nativeSeconds : 0.0,
                  static_cast<unsigned long long>(best.allocations));
    std::cout << line << std::endl;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Runs the benchmark programs on the emulated machine and natively."};
    std::string imageDirectory = "bench/programs";
    std::vector<std::string> only;
    bool quick = false;
    int repetitions = 3;
    app.add_option("--images", imageDirectory, "the directory of the assembled programs (.disk)");
    app.add_option("--only", only, "run only the programs with these names");
    app.add_flag("--quick", quick, "small parameters, one run, no native reference");
    app.add_option("--repeat", repetitions, "runs per program; the best time counts")
        ->check(CLI::PositiveNumber);
    CLI11_PARSE(app, argc, argv);
    if (quick)
        repetitions = 1;

    bool ok = true;
    for (const SProgram& program : kPrograms) {
        if (!only.empty() && std::find(only.begin(), only.end(), program.name) == only.end())
            continue;
        ok = Measure(program, imageDirectory, quick, repetitions) && ok;
    }
    return ok ? 0 : 1;
}
