// tarquil-run: runs disk images on a machine without a window and reports what happened,
// for scripts and tests.
#include "BuiltInMachine.h"
#include "RunDebugging.h"
#include "RunOptions.h"
#include "RunReports.h"
#include "core/Machine.h"
#include "core/Random.h"
#include "host/ExitSignals.h"
#include "host/HeadlessPlatform.h"
#include "host/HeadlessRun.h"
#include "host/HeadlessScreenSurface.h"
#include "host/HostGate.h"
#include "host/HostSystem.h"
#include "host/MachineAssembly.h"
#include "host/MachineState.h"
#include "host/Recording.h"
#include "host/Replay.h"
#include "host/StateFile.h"
#include "host/audio/HeadlessAudio.h"
#include "support/ErrorStack.h"

#include <iostream>
#include <memory>
#include <optional>

namespace {

SHeadlessRunSettings RunSettings(const SRunOptions& options) {
    SHeadlessRunSettings settings;
    settings.instructionLimit = options.steps;
    settings.timeoutSeconds = options.timeoutSeconds;
    settings.keys = options.keys;
    settings.keyEvery = options.keyEvery;
    return settings;
}

void Report(const SRunOptions& options, const CMachine& machine, const SHeadlessRunResult& result,
            const CRunDebugging& debugging) {
    debugging.PrintBeforeStop(result, std::cout);
    std::cout << "stop: " << debugging.DescribeStop(result) << '\n';
    if (options.printRegisters)
        PrintRegisters(*machine.memory, std::cout);
    for (const SDumpRequest& dump : options.dumps)
        PrintDump(*machine.memory, dump, std::cout, std::cerr);
    if (options.printText)
        PrintTextScreen(machine, std::cout, std::cerr);
    if (!options.pngPath.empty())
        SaveScreenPng(machine, options.pngPath, std::cerr);
    if (options.printStats)
        PrintStats(result, std::cout);
}

// The directory as the program's own directory would be given: with its separator.
std::string SettingsDirectory(const std::string& directory) {
    return directory.back() == '/' ? directory : directory + "/";
}

// A run that ended with the machine stopped is a failure of the program: every stop goes
// through a machine error, the failed boot included.
int ExitCodeOf(const SHeadlessRunResult& result) {
    return result.reason == EStopReason::MachineStopped ? kExitMachineError : kExitRan;
}

// Runs a started machine, prints what the run produced and returns the exit code (a usage
// error for debugging options that name nothing). A run that a signal ended reports
// nothing: the program is closing.
int RunAndReport(const SRunOptions& options, CMachine& machine, CHeadlessPlatform& platform,
                 CHeadlessAudio& audio) {
    CRunDebugging debugging;
    if (!debugging.Attach(options, *machine.kernel, std::cerr))
        return kExitUsage;
    SHeadlessRunSettings settings = RunSettings(options);
    debugging.Configure(settings);
    audio.StartRun();
    const SHeadlessRunResult result =
        RunHeadless(machine, platform, settings, [](const std::string& message) {
            std::cout << "title: " << TitleText(message) << '\n';
        });
    if (result.reason != EStopReason::ExitRequested)
        Report(options, machine, result, debugging);
    std::cout.flush();
    return ExitCodeOf(result);
}

// Puts a started machine into the loaded state, if there is one; the warnings of loading go
// to standard error.
bool ApplyLoadedState(std::optional<SMachineState>& state, CMachine& machine, CPlatform& platform) {
    if (!state)
        return true;
    std::vector<std::string> warnings;
    std::string error;
    CheckStateImages(*state, warnings);
    const bool applied = ApplyMachineState(machine, platform, std::move(*state), warnings, error);
    for (const std::string& warning : warnings)
        std::cerr << "tarquil-run: warning: " << warning << '\n';
    if (!applied)
        std::cerr << "tarquil-run: cannot load the state: " << error << '\n';
    return applied;
}

// Writes the machine's state at the stop when asked to; false when that failed.
bool SaveRequestedState(const SRunOptions& options, const CMachine& machine,
                        const CPlatform& platform) {
    if (options.saveStatePath.empty())
        return true;
    SMachineState state;
    CaptureMachineState(machine, platform, state);
    std::string error;
    if (SaveStateFile(options.saveStatePath, state, error))
        return true;
    std::cerr << "tarquil-run: " << error << '\n';
    return false;
}

// Runs a recording of the window program again on the built-in machine shaped after its
// start state.
int RunRecording(const SRunOptions& options, CHeadlessPlatform& platform,
                 CHeadlessScreenSurface& surface, CHeadlessAudio& audio) {
    SRecording recording;
    std::optional<SMachineState> state;
    std::string error;
    if (LoadRecordingFile(options.replayPath, recording, error)) {
        state.emplace();
        if (!DecodeMachineState(recording.startState.data(), recording.startState.size(), *state,
                                error))
            error = "cannot load the recording \"" + options.replayPath +
                    "\": its start state: " + error;
        else
            error.clear();
    }
    if (!error.empty()) {
        std::cerr << "tarquil-run: " << error << '\n';
        return kExitNoMachine;
    }
    CHostGate gate(platform);
    gate.StartReplay(recording.items);
    auto host = std::make_unique<SHostMachine>();
    if (!StartBuiltInMachineForState(*host, gate, surface, audio.MidiOutputs(), options, *state) ||
        !ApplyLoadedState(state, host->machine, gate)) {
        qm::ShowErrors();
        return kExitNoMachine;
    }
    // The symbols and the fault: line; a replay runs the kernel's own slices, so break and
    // watch points do not stop it.
    CRunDebugging debugging;
    if (!debugging.Attach(options, *host->machine.kernel, std::cerr))
        return kExitUsage;
    audio.StartRun();
    const SHeadlessRunResult result = RunReplay(
        host->machine, gate, recording, RunSettings(options),
        [](const std::string& message) { std::cout << "title: " << TitleText(message) << '\n'; });
    if (result.reason == EStopReason::ExitRequested) {
        std::cout.flush();
        return kExitRan;
    }
    if (result.reason == EStopReason::Diverged)
        std::cerr << "tarquil-run: the run left the recording " << result.stopMessage << '\n';
    Report(options, host->machine, result, debugging);
    std::cout.flush();
    const bool saved = SaveRequestedState(options, host->machine, gate);
    return result.reason == EStopReason::Diverged || !saved ? kExitNoMachine : ExitCodeOf(result);
}

// The machine of a settings directory, started and stopped as the window program starts
// and stops its machine: a failed start is shown and still rewrites the user settings.
int RunFromSettingsDirectory(const SRunOptions& options, CHeadlessPlatform& platform,
                             CHeadlessScreenSurface& surface, CHeadlessAudio& audio,
                             std::optional<SMachineState>& state) {
    SMachineEnvironment environment;
    environment.platform = &platform;
    environment.settingsDirectory = SettingsDirectory(options.configDirectory);
    environment.commandLine = options.machineCommandLine;
    environment.screenSurface = &surface;
    environment.midiOutput = audio.MidiOutputs();
    CMachineHost host(std::move(environment));
    if (!host.StartMachine())
        return kExitNoMachine;
    if (!ApplyLoadedState(state, *host.GetMachine(), platform))
        return kExitNoMachine;
    int exit = RunAndReport(options, *host.GetMachine(), platform, audio);
    if (!SaveRequestedState(options, *host.GetMachine(), platform))
        exit = kExitNoMachine;
    host.StopMachine();
    return exit;
}

} // namespace

int main(int argc, char** argv) {
    SRunOptions options;
    int exitCode = kExitRan;
    if (!ParseRunOptions(argc, argv, options, exitCode, std::cout, std::cerr))
        return exitCode;

    // From here on SIGINT, SIGTERM and SIGHUP close the program the orderly way: the
    // machine is stopped as at the end of a run (images closed, user settings written).
    if (!InstallExitSignalHandlers())
        std::cerr << "tarquil-run: cannot handle exit signals; they end the run at once\n";
    // A loaded state brings the random generator's state with it.
    std::optional<SMachineState> state;
    if (!options.loadStatePath.empty()) {
        std::string error;
        state.emplace();
        if (!LoadStateFile(options.loadStatePath, *state, error)) {
            std::cerr << "tarquil-run: " << error << '\n';
            return kExitNoMachine;
        }
    }
    SeedRandom(options.seed ? *options.seed : MonotonicTickCount());
    // The sound outlives the machine: notes still held at the stop get their note-off
    // before the recording ends.
    CHeadlessAudio audio;
    std::string audioError;
    if (!audio.Start(options.wavPath, audioError)) {
        std::cerr << "tarquil-run: --wav " << options.wavPath << ": " << audioError << '\n';
        return kExitUsage;
    }
    CHeadlessPlatform platform;
    platform.SetBeepHandler(
        [&audio](uint32_t frequency, uint32_t durationMs) { audio.Beep(frequency, durationMs); });
    CHeadlessScreenSurface surface;
    int exit = kExitRan;
    if (!options.replayPath.empty()) {
        exit = RunRecording(options, platform, surface, audio);
    } else if (!options.configDirectory.empty()) {
        exit = RunFromSettingsDirectory(options, platform, surface, audio, state);
    } else {
        auto host = std::make_unique<SHostMachine>();
        const bool started =
            state ? StartBuiltInMachineForState(*host, platform, surface, audio.MidiOutputs(),
                                                options, *state) &&
                        ApplyLoadedState(state, host->machine, platform)
                  : StartBuiltInMachine(*host, platform, surface, audio.MidiOutputs(), options);
        if (!started) {
            qm::ShowErrors();
            return kExitNoMachine;
        }
        exit = RunAndReport(options, host->machine, platform, audio);
        if (!SaveRequestedState(options, host->machine, platform))
            exit = kExitNoMachine;
        host.reset();
    }
    if (!audio.Finish(audioError))
        std::cerr << "tarquil-run: --wav " << options.wavPath << ": " << audioError << '\n';
    if (IsExitRequested())
        FinishExitBySignal();
    return exit;
}
