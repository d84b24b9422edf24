// tarquil-bench-state: the speed of saved states and recordings, one line per figure:
//
//   save memory=16m content=C seconds=S bytes=N     capture, compress and write a state
//   load memory=16m content=C seconds=S             read, check, decompress and apply it
//   record program=loop mips=M plain_mips=P overhead=O%
//   stepback program=loop ... run_mips=M debugger_mips=D history_cost=C% cpu_run_mips=...
//
// Contents: "typical" is a machine whose memory holds a few hundred kilobytes of program and
// data (text, tables, pixels) and zeros elsewhere; "random" fills all of it with random bytes,
// the worst case for the compressor. The recording figure runs the loop benchmark with its
// host calls passing a recording gate and without one. Times are the best of the runs.
#include "bench/BenchMachine.h"
#include "core/Kernel.h"
#include "core/Memory.h"
#include "debug/Debugger.h"
#include "host/HeadlessPlatform.h"
#include "host/HeadlessScreenSurface.h"
#include "host/HostGate.h"
#include "host/MachineAssembly.h"
#include "host/MachineState.h"
#include "host/StateFile.h"
#include "support/INIFile.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <memory>
#include <random>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A machine as the runner builds it, on the given platform, booted from `image` (or from
// nothing when it is empty).
struct SMachine {
    CHeadlessScreenSurface surface;
    SHostMachine host;

    bool Start(CPlatform& platform, const std::string& memorySize, const std::string& image) {
        qm::CINIFile config;
        const qm::CINIFile settings;
        config.SetString("Memory", "Size", memorySize);
        config.SetInt("Kernel", "Priority", 3);
        config.SetString("MIDI", "Enabled", "false");
        config.SetInt("Disks", "Count", 8);
        SMachineEnvironment environment;
        environment.platform = &platform;
        environment.screenSurface = &surface;
        environment.beforeBoot = [&image](CMachine& machine) {
            if (!image.empty())
                machine.disks[0]->Insert(image);
        };
        return AssembleMachine(host, environment, config, settings);
    }
};

void Fill(CMemory& memory, bool random) {
    uint8_t* data = memory.GetData();
    const size_t size = static_cast<size_t>(memory.GetSize());
    std::mt19937 generator(12345);
    if (random) {
        for (size_t i = 0; i + 4 <= size; i += 4) {
            const uint32_t value = generator();
            std::memcpy(data + i, &value, 4);
        }
        return;
    }
    // 256 KB of code-like bytes, 64 KB of text, a 320 x 200 picture of 32-bit pixels.
    for (size_t i = 0; i < 256 * 1024; ++i)
        data[i] = static_cast<uint8_t>(generator() % 64);
    for (size_t i = 0; i < 64 * 1024; ++i)
        data[0x100000 + i] = static_cast<uint8_t>("The quick brown fox jumps. "[i % 27]);
    for (size_t i = 0; i < 320 * 200; ++i) {
        const uint32_t pixel = static_cast<uint32_t>((i % 320) * 0x010203 + (i / 320) * 0x030201);
        std::memcpy(data + 0x200000 + 4 * i, &pixel, 4);
    }
}

bool StateFigures(const std::string& directory, int repetitions) {
    for (const bool random : {false, true}) {
        CHeadlessPlatform platform;
        SMachine machine;
        if (!machine.Start(platform, "16m", "")) {
            std::cerr << "cannot start a machine of 16 MB\n";
            return false;
        }
        Fill(*machine.host.machine.memory, random);
        const std::string path = directory + "/bench.state";
        double save = 1e9;
        double load = 1e9;
        size_t bytes = 0;
        for (int i = 0; i < repetitions; ++i) {
            auto start = Clock::now();
            SMachineState state;
            CaptureMachineState(machine.host.machine, platform, state);
            std::string error;
            if (!SaveStateFile(path, state, error)) {
                std::cerr << error << "\n";
                return false;
            }
            save = std::min(save, Since(start));

            start = Clock::now();
            SMachineState loaded;
            std::vector<std::string> warnings;
            if (!LoadStateFile(path, loaded, error) ||
                !ApplyMachineState(machine.host.machine, platform, std::move(loaded), warnings,
                                   error)) {
                std::cerr << error << "\n";
                return false;
            }
            load = std::min(load, Since(start));
            bytes = EncodeMachineState(state).size();
        }
        const char* content = random ? "random" : "typical";
        std::printf("save memory=16m content=%s seconds=%.4f bytes=%zu\n", content, save, bytes);
        std::printf("load memory=16m content=%s seconds=%.4f\n", content, load);
        std::remove(path.c_str());
    }
    return true;
}

// The loop benchmark's mips with the machine's platform a recording gate, and a plain one.
bool RecordingFigures(const std::string& images, int repetitions) {
    double best[2] = {0, 0};
    for (int i = 0; i < repetitions; ++i) {
        for (const bool recording : {false, true}) {
            CHeadlessPlatform platform;
            CHostGate gate(platform);
            SMachine machine;
            if (!machine.Start(recording ? static_cast<CPlatform&>(gate) : platform, "2m",
                               images + "/loop.disk")) {
                std::cerr << "cannot start the loop program\n";
                return false;
            }
            CKernel& kernel = *machine.host.machine.kernel;
            machine.host.machine.memory->WriteDword(bench::kParameterAddress, 25'000'000);
            if (recording) {
                gate.SetKernel(&kernel);
                gate.StartRecording({}, false);
            }
            std::string message;
            const uint64_t first = kernel.GetInstructionCount();
            const auto start = Clock::now();
            while (!kernel.RunSlice(message)) {
            }
            const double seconds = Since(start);
            if (!kernel.IsRunning()) {
                std::cerr << "the loop program stopped: " << message << "\n";
                return false;
            }
            const double mips =
                static_cast<double>(kernel.GetInstructionCount() - first) / seconds / 1e6;
            best[recording] = std::max(best[recording], mips);
            if (recording)
                gate.SetKernel(nullptr);
        }
    }
    std::printf("record program=loop mips=%.1f plain_mips=%.1f overhead=%.1f%%\n", best[1], best[0],
                (best[0] - best[1]) / best[0] * 100.0);
    return true;
}

// The loop program of `rounds` rounds (4 instructions each) under a debugger, with or
// without the history, on a 2 MB machine.
struct SDebuggedLoop {
    CHeadlessPlatform platform;
    CHostGate gate{platform};
    SMachine machine;
    std::unique_ptr<CDebugger> debugger;

    ~SDebuggedLoop() { gate.SetKernel(nullptr); }

    bool Start(const std::string& images, uint32_t rounds, bool history) {
        if (!machine.Start(gate, "2m", images + "/loop.disk")) {
            std::cerr << "cannot start the loop program\n";
            return false;
        }
        CMachine& whole = machine.host.machine;
        whole.memory->WriteDword(bench::kParameterAddress, rounds);
        gate.SetKernel(whole.kernel);
        debugger = std::make_unique<CDebugger>(*whole.kernel);
        debugger->SetTraceLength(0);
        if (history)
            debugger->KeepHistory(whole, gate);
        return true;
    }

    // Runs the program to its end; millions of instructions a second of the wall clock and
    // of the processor time the process used (which a loaded machine disturbs less).
    struct SSpeed {
        double wall = 0;
        double processor = 0;
    };
    SSpeed Run() {
        std::string message;
        const auto start = Clock::now();
        const std::clock_t used = std::clock();
        while (!debugger->RunSlice(message)) {
        }
        const double seconds = Since(start);
        const double processor =
            static_cast<double>(std::clock() - used) / static_cast<double>(CLOCKS_PER_SEC);
        const double millions =
            static_cast<double>(machine.host.machine.kernel->GetInstructionCount()) / 1e6;
        return {millions / seconds, millions / processor};
    }
};

// Stepping back after a long run: the loop program runs under a debugger that keeps its
// history, then waits; the debugger goes back one instruction at a time, then back to the
// previous pass of a breakpoint in the loop and to the last change of the loop's counter.
// Each answer's time is the wall clock of that one call. The run speed with the history is
// set against the same run under a debugger without one (runs interleaved, best of each).
bool StepBackFigures(const std::string& images, uint32_t rounds, int repetitions) {
    SDebuggedLoop::SSpeed plain;
    SDebuggedLoop::SSpeed kept;
    const auto best = [](SDebuggedLoop::SSpeed& speed, SDebuggedLoop::SSpeed run) {
        speed.wall = std::max(speed.wall, run.wall);
        speed.processor = std::max(speed.processor, run.processor);
    };
    std::unique_ptr<SDebuggedLoop> loop;
    // One machine at a time, as a host has it.
    for (int i = 0; i < repetitions; ++i) {
        loop.reset();
        {
            SDebuggedLoop bare;
            if (!bare.Start(images, rounds, false))
                return false;
            best(plain, bare.Run());
        }
        loop = std::make_unique<SDebuggedLoop>();
        if (!loop->Start(images, rounds, true))
            return false;
        best(kept, loop->Run());
    }
    CDebugger& debugger = *loop->debugger;
    CKernel& kernel = *loop->machine.host.machine.kernel;
    const uint64_t instructions = kernel.GetInstructionCount();
    debugger.Pause();
    std::string error;
    auto timed = [&](auto&& command) {
        const auto begin = Clock::now();
        if (!command())
            std::cerr << "cannot go back: " << error << "\n";
        return Since(begin);
    };
    double stepBack = 0;
    for (int i = 0; i < 5; ++i)
        stepBack = std::max(stepBack, timed([&] { return debugger.StepBack(error); }));
    const uint32_t inLoop = kernel.GetIP();
    debugger.AddBreakpoint(inLoop, {}, error);
    const double toBreak = timed([&] { return debugger.ReverseContinue(error); });
    const bool breakFound = debugger.GetLastStop().kind == EDebugStop::Break;
    debugger.RemoveBreakpoint(1);
    debugger.AddWatchpoint(kRegisterBlockAddress, 4, error); // r0, the loop's counter
    const double toWatch = timed([&] { return debugger.ReverseContinue(error); });
    const SHistoryFigures history = debugger.GetHistoryFigures();
    std::printf("stepback program=loop instructions=%llu run_mips=%.1f debugger_mips=%.1f "
                "history_cost=%.1f%% cpu_run_mips=%.1f cpu_debugger_mips=%.1f "
                "cpu_history_cost=%.1f%% snapshots=%zu history_mb=%.1f snapshot_kb=%.1f "
                "budget_mb=%.0f oldest=%llu step_back_s=%.4f reverse_to_break_s=%.4f%s "
                "reverse_to_watch_s=%.4f\n",
                static_cast<unsigned long long>(instructions), kept.wall, plain.wall,
                (plain.wall - kept.wall) / plain.wall * 100.0, kept.processor, plain.processor,
                (plain.processor - kept.processor) / plain.processor * 100.0, history.snapshots,
                static_cast<double>(history.bytes) / (1 << 20),
                static_cast<double>(history.bytes) / 1024.0 /
                    static_cast<double>(std::max<size_t>(history.snapshots, 1)),
                static_cast<double>(history.budget) / (1 << 20),
                static_cast<unsigned long long>(history.oldestCount), stepBack, toBreak,
                breakFound ? "" : " (no break found)", toWatch);
    return breakFound;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Measures saving and loading machine states and the cost of recording."};
    std::string images = "bench/programs";
    std::string directory = "/tmp";
    int repetitions = 5;
    app.add_option("--images", images, "the directory of the assembled benchmark programs");
    app.add_option("--scratch", directory, "where the state file is written");
    app.add_option("--repeat", repetitions, "runs per figure; the best counts")
        ->check(CLI::PositiveNumber);
    uint32_t stepBackRounds = 250'000'000;
    app.add_option("--step-back-rounds", stepBackRounds,
                   "rounds of the loop (4 instructions each) before stepping back; 0: none");
    CLI11_PARSE(app, argc, argv);
    const bool ok = StateFigures(directory, repetitions) && RecordingFigures(images, repetitions) &&
                    (stepBackRounds == 0 || StepBackFigures(images, stepBackRounds, repetitions));
    return ok ? 0 : 1;
}
