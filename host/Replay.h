// Running a recording again without a window: the machine starts from the recording's state
// (loaded by the caller, with the gate as its platform), the recorded events reach the
// queue at the instruction counts where they arrived, a waiting program runs again exactly
// where the recorded host let it, and the gate answers the program's reads from the
// recording. The run ends when the recording does ("replayed"), when the machine stops, at
// an instruction limit or the wall-clock bound, or when the run stops following the
// recording ("diverged", with the reason in the result's stop message).
#pragma once

#include "host/HeadlessRun.h"
#include "host/Recording.h"

class CHostGate;
class CMachine;

// The gate replays the recording already (CHostGate::StartReplay before the start state was
// loaded, so that the state's timers only keep their books).
SHeadlessRunResult RunReplay(CMachine& machine, CHostGate& gate, const SRecording& recording,
                             const SHeadlessRunSettings& settings, const TitleSink& onTitle);
