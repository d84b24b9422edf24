// Runs the current machine inside Qt's event loop. While the program is busy, slices run
// back to back in turns of a few milliseconds, and Qt handles whatever events arrived
// between two turns; once a slice says the program waits or the machine stopped, no turn
// is scheduled and the event loop sleeps until something wakes the machine.
#pragma once

#include "host/RunLoop.h"

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>

class CMachineRunner : public QObject {
    Q_OBJECT
public:
    // How long one turn may keep the event loop waiting.
    static constexpr int64_t kTurnNanoseconds = 4000000;
    // Slices between two looks at the clock.
    static constexpr uint32_t kSlicesPerBurst = 64;

    explicit CMachineRunner(CRunLoop::MessageSink onMessage, QObject* parent = nullptr);

    // The kernel of the current machine, or null while there is none.
    void SetKernel(CKernel* kernel);
    CKernel* GetKernel() const { return loop.GetKernel(); }
    // Who runs the slices (a debugger); empty: the kernel itself.
    void SetSliceRunner(CRunLoop::SliceRunner runner) { loop.SetSliceRunner(std::move(runner)); }
    // Something happened that the program may want to see: give it at least one slice.
    void Wake();
    // While the window is in a modal loop (a menu, a dialog, a message box) the processor
    // stands still, as it does where the program's own loop is the window's message loop.
    // Holds nest; events still queue and the program sees them once the last hold ends.
    void Hold();
    void Release();
    bool IsHeld() const { return holds > 0; }
    // Called after every turn, for the window to follow what the program did to the screen.
    void SetTurnObserver(std::function<void()> observer) { turnObserver = std::move(observer); }
    // Whether a turn is scheduled (the program runs or has to look at an event).
    bool IsScheduled() const { return turnTimer.isActive(); }
    // One turn now, as the event loop would run it.
    void RunTurn();

    uint64_t GetSliceCount() const { return slices; }
    // Whether the program waits for a message (or there is no machine).
    bool IsWaiting() const { return loop.ShouldWait(); }
    // Told each time a waiting program is let run again.
    void SetResumeObserver(std::function<void()> observer) {
        loop.SetResumeObserver(std::move(observer));
    }

private:
    CRunLoop loop;
    CRunLoop::MessageSink onMessage;
    QTimer turnTimer;
    bool inTurn = false;
    int holds = 0;
    uint64_t slices = 0;
    std::function<void()> turnObserver;
};
