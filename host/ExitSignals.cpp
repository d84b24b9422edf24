#include "host/ExitSignals.h"

#include "host/HostSystem.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr std::array<int, 3> kExitSignals = {SIGINT, SIGTERM, SIGHUP};

volatile sig_atomic_t requestedSignal = 0;
// A pipe whose read end becomes readable when a signal arrived: a handler may write to a
// pipe, and every kind of loop can wait on one.
int wakeRead = -1;
int wakeWrite = -1;

extern "C" void OnExitSignal(int signal) {
    const int savedErrno = errno;
    requestedSignal = signal;
    const char byte = 1;
    // Non-blocking: once the pipe is full it is readable anyway.
    [[maybe_unused]] const ssize_t written = write(wakeWrite, &byte, 1);
    errno = savedErrno;
}

} // namespace

bool InstallExitSignalHandlers() {
    if (wakeRead < 0) {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
            return false;
        wakeRead = ends[0];
        wakeWrite = ends[1];
    }
    struct sigaction action {};
    action.sa_handler = OnExitSignal;
    sigemptyset(&action.sa_mask);
    // The first signal asks; the second of the same kind takes the default action.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    for (const int signal : kExitSignals) {
        // A signal that whoever started us ignores (nohup, a background job) stays ignored.
        struct sigaction previous {};
        if (sigaction(signal, nullptr, &previous) != 0)
            return false;
        if (previous.sa_handler == SIG_IGN)
            continue;
        if (sigaction(signal, &action, nullptr) != 0)
            return false;
    }
    return true;
}

void RemoveExitSignalHandlers() {
    for (const int signal : kExitSignals)
        std::signal(signal, SIG_DFL);
    requestedSignal = 0;
    if (wakeRead >= 0) {
        char buffer[64];
        while (read(wakeRead, buffer, sizeof buffer) > 0) {
        }
    }
}

bool IsExitRequested() {
    return requestedSignal != 0;
}

int GetExitSignal() {
    return requestedSignal;
}

int GetExitSignalDescriptor() {
    return wakeRead;
}

bool SleepUntilOrExitRequest(uint64_t monotonicNs) {
    for (;;) {
        if (IsExitRequested())
            return true;
        const uint64_t now = MonotonicNanoseconds();
        if (now >= monotonicNs)
            return false;
        const uint64_t left = monotonicNs - now;
        timespec timeout{};
        timeout.tv_sec = static_cast<time_t>(left / 1000000000u);
        timeout.tv_nsec = static_cast<long>(left % 1000000000u);
        // Without handlers there is nothing to watch but the clock (a negative descriptor
        // is ignored by ppoll).
        pollfd wake{wakeRead, POLLIN, 0};
        ppoll(&wake, 1, &timeout, nullptr);
    }
}

void FinishExitBySignal() {
    const int signal = requestedSignal;
    if (signal == 0)
        std::_Exit(1);
    std::signal(signal, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal);
    // Not reached unless the signal is ignored by the default action.
    std::_Exit(128 + signal);
}
