// Running a machine without a window: the run-loop policy drives the kernel, host timers
// tick on the real clock, scripted input is delivered whenever the program waits for input
// on an empty queue (and, when asked, every so many instructions), and the run ends for one of four
// reasons: the machine stopped, the program waits with nothing left to wake it, an instruction
// limit, a wall-clock bound; or because a signal asked the program to close.
#pragma once

#include "host/KeyScript.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CMachine;
class CHeadlessPlatform;

struct SHeadlessRunSettings {
    uint64_t instructionLimit = 0; // 0: none
    double timeoutSeconds = 10.0;  // 0: none
    std::vector<SScriptedInput> keys;
    // Also deliver the next scripted item once this many instructions ran since the
    // previous one (or the start), waiting or not: programs that poll the queue without
    // WAIT get their input too. 0: only while the program waits.
    uint64_t keyEvery = 0;
    // A debugger's slices in place of the kernel's, and whether it has paused the machine
    // (which ends the run). Empty: the kernel runs its own slices.
    std::function<bool(std::string& message)> runSlice;
    std::function<bool()> isPaused;
};

// ExitRequested: a signal asked the program to close (host/ExitSignals.h). Paused: the
// debugger of the settings paused the machine (at a breakpoint or a watchpoint). Replayed: a
// recording ran to its end; Diverged: the run stopped following it (host/Replay.h).
enum class EStopReason {
    MachineStopped,
    Idle,
    Steps,
    Timeout,
    ExitRequested,
    Paused,
    Replayed,
    Diverged
};

struct SHeadlessRunResult {
    EStopReason reason = EStopReason::Idle;
    std::string stopMessage; // the machine's own message when it stopped; why a replay diverged
    uint64_t instructions = 0;
    double seconds = 0.0;
    size_t keysDelivered = 0;
};

// Receives every non-empty message the slices hand out (what a window title would show).
using TitleSink = std::function<void(const std::string& message)>;

// Runs the booted machine until it stops for one of the reasons above.
SHeadlessRunResult RunHeadless(CMachine& machine, CHeadlessPlatform& platform,
                               const SHeadlessRunSettings& settings, const TitleSink& onTitle);

// The reason as the runner reports it: the machine's message, "idle", "steps", "timeout".
std::string DescribeStop(const SHeadlessRunResult& result);

// A message as a window title shows it: up to its first zero byte, converted to UTF-8.
std::string TitleText(const std::string& message);
