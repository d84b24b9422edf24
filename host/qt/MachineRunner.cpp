#include "host/qt/MachineRunner.h"

#include "host/HostSystem.h"

CMachineRunner::CMachineRunner(CRunLoop::MessageSink onMessage, QObject* parent)
    : QObject(parent), onMessage(std::move(onMessage)) {
    // A zero interval fires whenever Qt has no other event waiting.
    turnTimer.setInterval(0);
    connect(&turnTimer, &QTimer::timeout, this, &CMachineRunner::RunTurn);
}

void CMachineRunner::SetKernel(CKernel* kernel) {
    loop.SetKernel(kernel);
    if (kernel && !IsHeld())
        turnTimer.start();
    else
        turnTimer.stop();
}

void CMachineRunner::Wake() {
    loop.Wake();
    if (loop.GetKernel() && !IsHeld() && !turnTimer.isActive())
        turnTimer.start();
}

void CMachineRunner::Hold() {
    ++holds;
    turnTimer.stop();
}

void CMachineRunner::Release() {
    if (holds == 0)
        return;
    if (--holds == 0)
        Wake();
}

void CMachineRunner::RunTurn() {
    // A slice that opened a modal loop must not be re-entered from inside it.
    if (inTurn || IsHeld())
        return;
    inTurn = true;
    const uint64_t deadline = MonotonicNanoseconds() + kTurnNanoseconds;
    while (!loop.ShouldWait()) {
        slices += loop.RunBurst(kSlicesPerBurst, 0, onMessage).slices;
        if (MonotonicNanoseconds() >= deadline)
            break;
    }
    inTurn = false;
    if (loop.ShouldWait())
        turnTimer.stop();
    if (turnObserver)
        turnObserver();
}
