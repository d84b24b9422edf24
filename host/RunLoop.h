// When the machine runs and when its host waits. Every front end drives one of these from
// its own loop: after each message it handled it calls Wake, and whenever it is not waiting
// it runs a burst of slices; the burst ends as soon as a slice says the program waits for
// input or the machine stopped, and the host then sleeps until its next message. So the
// window program and the headless runner cannot disagree about scheduling.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class CKernel;

class CRunLoop {
public:
    // Receives every non-empty message a slice hands out (for the window title).
    using MessageSink = std::function<void(const std::string& message)>;

    struct SBurst {
        uint32_t slices = 0;
        bool limitReached = false; // the instruction limit ended the burst
    };

    // Runs one slice in place of the kernel's RunSlice, with its meaning (a debugger that
    // checks between instructions, debug/Debugger.h).
    using SliceRunner = std::function<bool(std::string& message)>;

    // The current machine's kernel, or null while there is none.
    void SetKernel(CKernel* current);
    // Who runs the slices; empty: the kernel itself.
    void SetSliceRunner(SliceRunner runner) { sliceRunner = std::move(runner); }
    CKernel* GetKernel() const { return kernel; }

    // True when the host should block until its next message before running again.
    bool ShouldWait() const { return waiting || !kernel; }
    // The host handled a message: the next turn runs a slice even for a waiting program.
    void Wake() {
        if (waiting && kernel && onResume)
            onResume();
        waiting = false;
    }
    // Told each time a waiting program is let run again (recordings note the moment).
    void SetResumeObserver(std::function<void()> observer) { onResume = std::move(observer); }

    // Runs up to `maxSlices` slices while the program neither waits nor stopped. With an
    // instruction limit (0: none) the burst also ends after the slice that reaches it.
    SBurst RunBurst(uint32_t maxSlices, uint64_t instructionLimit, const MessageSink& onMessage);

    // Whether the last slice left the program waiting for input (running, queue empty).
    bool IsProgramWaiting() const;

private:
    CKernel* kernel = nullptr;
    SliceRunner sliceRunner;
    bool waiting = false;
    std::function<void()> onResume;
    std::string message; // reused between slices
};
