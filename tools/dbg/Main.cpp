// tarquil-dbg: the console debugger. Boots disk images on a machine without a window (the
// runner's built-in machine) and reads debugger commands from standard input.
#include "DebugConsole.h"
#include "tools/run/BuiltInMachine.h"
#include "tools/run/RunOptions.h"

#include "core/Kernel.h"
#include "core/Machine.h"
#include "core/Random.h"
#include "host/HeadlessPlatform.h"
#include "host/HeadlessRun.h"
#include "host/HeadlessScreenSurface.h"
#include "host/HostGate.h"
#include "host/HostSystem.h"
#include "host/MachineAssembly.h"
#include "support/ErrorStack.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>

namespace {

struct SConsoleOptions {
    SRunOptions machine;
    std::string symbolsPath;
    double runSeconds = 10.0;
    size_t traceLength = CDebugger::kDefaultTraceLength;
    size_t historyMegabytes = CMachineHistory::kDefaultBudget >> 20;
};

// What ended a run that the debugger did not pause, in words.
std::string DescribeEnd(const SHeadlessRunResult& result) {
    switch (result.reason) {
    case EStopReason::Idle:
        return "the program waits for input";
    case EStopReason::Timeout:
        return "the run took its whole time";
    case EStopReason::ExitRequested:
        return "exit requested";
    default:
        return {};
    }
}

} // namespace

int main(int argc, char** argv) {
    SConsoleOptions options;
    CLI::App app{
        "Debugs Tarquil disk images: reads commands (break, watch, run, step, next, "
        "finish, reverse-step, reverse-continue, regs, x, disas, set, print, bt, trace, quit; "
        "help lists them) from "
        "standard input."};
    app.add_option("images", options.machine.images, "Disk images for slots 0, 1, 2, ...")
        ->required();
    app.add_option("--symbols", options.symbolsPath,
                   "Symbol file (default: NAME.sym beside the first NAME.disk)");
    app.add_option("--memory", options.machine.memorySize, "Memory size (default 1m)");
    app.add_option("--seed", options.machine.seed, "Seed of the random generator");
    app.add_option("--run-time", options.runSeconds,
                   "Seconds a run may take before the debugger pauses it (default 10)");
    app.add_option("--trace", options.traceLength,
                   "Instructions the trace keeps (default 256; 0: no trace, faster runs)");
    app.add_option("--history", options.historyMegabytes,
                   "Megabytes the history for reverse-step and reverse-continue may take "
                   "(default 256; 0: no history, no going back)");
    CLI11_PARSE(app, argc, argv);

    SeedRandom(options.machine.seed ? *options.machine.seed : MonotonicTickCount());
    CHeadlessPlatform platform;
    // What the program reads of the host passes the gate: the history notes it.
    CHostGate gate(platform);
    CHeadlessScreenSurface surface;
    auto host = std::make_unique<SHostMachine>();
    if (!StartBuiltInMachine(*host, gate, surface, {}, options.machine)) {
        qm::ShowErrors();
        return 1;
    }
    CMachine& machine = host->machine;
    gate.SetKernel(machine.kernel);
    CDebugger debugger(*machine.kernel);
    debugger.SetTraceLength(options.traceLength);
    if (options.historyMegabytes > 0)
        debugger.KeepHistory(machine, gate, options.historyMegabytes << 20);

    std::string path = options.symbolsPath;
    if (path.empty()) {
        std::error_code error;
        const auto beside =
            std::filesystem::path(options.machine.images.front()).replace_extension(".sym");
        if (std::filesystem::is_regular_file(beside, error))
            path = beside.string();
    }
    if (!path.empty()) {
        CSymbolFile symbols;
        std::string error;
        if (symbols.Load(path, error)) {
            std::cout << "symbols: " << path << " (" << symbols.GetSymbols().size() << " symbols, "
                      << symbols.GetLines().size() << " lines)\n";
            debugger.SetSymbols(std::move(symbols));
        } else {
            std::cout << "error: " << error << "\n";
        }
    }
    debugger.Pause();
    SDebugStopInfo unused;
    debugger.TakeStop(unused);

    const auto run = [&]() {
        SHeadlessRunSettings settings;
        settings.timeoutSeconds = options.runSeconds;
        settings.runSlice = [&debugger](std::string& message) {
            return debugger.RunSlice(message);
        };
        settings.isPaused = [&debugger] { return debugger.IsPaused(); };
        const SHeadlessRunResult result =
            RunHeadless(machine, platform, settings, [](const std::string& message) {
                std::cout << "title: " << TitleText(message) << '\n';
            });
        return DescribeEnd(result);
    };
    CDebugConsole console(debugger, run, std::cout);
    console.ShowCurrent();
    console.Loop(std::cin);
    return 0;
}
