// tarquil-stress: a minute (or as long as asked) of a machine under pressure. The program
// (stress.asm) takes a few events per round, starts and stops host timers and switches the
// screen between four modes as fast as it can; between its slices the host floods the event
// queue with every kind of event, far past its 1024 places, and delivers the timers.
//
// Memory is measured at the start and at the end: the heap in use at its highest during the
// first and the last few seconds (the program's modes take different amounts, so peaks of
// whole mode cycles are compared, not single moments), and the resident size after the first
// and the last of those windows. The run fails when the heap's peak grew.
//
//     tarquil-stress DISK-IMAGE [SECONDS]
#include "core/Kernel.h"
#include "core/Machine.h"
#include "core/Memory.h"
#include "host/HeadlessPlatform.h"
#include "host/HeadlessScreenSurface.h"
#include "host/HostSystem.h"
#include "host/MachineAssembly.h"
#include "host/RunLoop.h"
#include "support/ErrorStack.h"
#include "support/INIFile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <malloc.h>
#include <string>

namespace {

constexpr uint32_t kRoundsAddress = 0x8000;
constexpr uint32_t kTakenAddress = 0x8004;
// Events the host offers after each burst of slices: more than the queue holds.
constexpr uint32_t kFloodPerBurst = 1100;
constexpr uint32_t kSlicesPerBurst = 16;
// How long the start and the end windows of the memory measurement are.
constexpr double kWindowSeconds = 5.0;
// What the heap's peak may differ by without counting as growth: allocator rounding.
constexpr size_t kTolerance = 256 * 1024;

size_t HeapInUse() {
    return mallinfo2().uordblks;
}

size_t ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtoul(line.c_str() + 6, nullptr, 10);
    }
    return 0;
}

// Every kind of event a window would post, in turn.
void Flood(CKernel& kernel, uint64_t& offered) {
    for (uint32_t i = 0; i < kFloodPerBurst; ++i, ++offered) {
        const auto n = static_cast<uint32_t>(offered);
        switch (n % 8) {
        case 0:
            kernel.PostKeyEvent(n & 1, 0x41 + n % 26);
            break;
        case 1:
            kernel.PostCharEvent('a' + n % 26);
            break;
        case 2:
            kernel.PostMouseMoveEvent(0, static_cast<int32_t>(n % 640),
                                      static_cast<int32_t>(n % 400));
            break;
        case 3:
            kernel.PostMouseButtonEvent(static_cast<EMouseButton>(n % 3 + 1),
                                        static_cast<EMouseAction>(n % 3 + 1), 0, 10, 20);
            break;
        case 4:
            kernel.PostMouseWheelEvent(0, 10, 20, 1.0f);
            break;
        case 5:
            kernel.PostScreenEvent();
            break;
        case 6:
            kernel.PostActivityEvent(static_cast<EActivity>(n & 1));
            break;
        default:
            kernel.PostDiskInsertedEvent(1);
            break;
        }
    }
}

struct SMeasure {
    size_t peakHeap = 0;
    size_t residentKiB = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tarquil-stress DISK-IMAGE [SECONDS]\n");
        return 2;
    }
    const std::string image = argv[1];
    const double seconds = argc > 2 ? std::max(2 * kWindowSeconds, std::atof(argv[2])) : 60.0;

    CHeadlessPlatform platform;
    CHeadlessScreenSurface surface;
    qm::CINIFile machineConfig;
    machineConfig.SetString("Memory", "Size", "2m");
    machineConfig.SetInt("Kernel", "Priority", 3);
    machineConfig.SetString("MIDI", "Enabled", "false");
    machineConfig.SetInt("Disks", "Count", 2);
    machineConfig.SetString("Disks", "Read-only", "0");
    const qm::CINIFile userSettings;
    SMachineEnvironment environment;
    environment.platform = &platform;
    environment.screenSurface = &surface;
    environment.commandLine = "-disk 0 \"" + image + "\"";
    SHostMachine host;
    if (!AssembleMachine(host, environment, machineConfig, userSettings)) {
        qm::ShowErrors();
        return 1;
    }
    CKernel& kernel = *host.machine.kernel;
    CMemory& memory = *host.machine.memory;
    CRunLoop loop;
    loop.SetKernel(&kernel);
    std::string lastMessage;
    const CRunLoop::MessageSink sink = [&](const std::string& message) { lastMessage = message; };

    const uint64_t start = MonotonicNanoseconds();
    const auto elapsed = [&] { return static_cast<double>(MonotonicNanoseconds() - start) * 1e-9; };
    uint64_t offered = 0;
    uint64_t timerEvents = 0;
    size_t maxQueue = 0;
    SMeasure first, last;
    while (elapsed() < seconds) {
        loop.RunBurst(kSlicesPerBurst, 0, sink);
        if (!kernel.IsRunning()) {
            std::fprintf(stderr, "tarquil-stress: the machine stopped: %s\n", lastMessage.c_str());
            return 1;
        }
        Flood(kernel, offered);
        maxQueue = std::max(maxQueue, kernel.GetEventCount());
        timerEvents +=
            static_cast<uint64_t>(platform.PostDueTimers(kernel, MonotonicNanoseconds()));
        loop.Wake();
        const double now = elapsed();
        if (now < kWindowSeconds)
            first.peakHeap = std::max(first.peakHeap, HeapInUse());
        else if (first.residentKiB == 0)
            first.residentKiB = ResidentKiB(); // once every mode has been taken
        if (now > seconds - kWindowSeconds)
            last.peakHeap = std::max(last.peakHeap, HeapInUse());
    }
    last.residentKiB = ResidentKiB();

    uint32_t rounds = 0, taken = 0;
    memory.ReadDword(kRoundsAddress, rounds, true);
    memory.ReadDword(kTakenAddress, taken, true);
    const double total = elapsed();
    std::printf("run: %.1f s, %llu instructions, %u rounds (mode switches), %u events taken\n",
                total, static_cast<unsigned long long>(kernel.GetInstructionCount()), rounds,
                taken);
    std::printf("events: %llu offered, %llu timer events, queue at most %zu of %zu\n",
                static_cast<unsigned long long>(offered),
                static_cast<unsigned long long>(timerEvents), maxQueue, kEventQueueCapacity);
    std::printf("memory at the start: heap peak %zu KiB, resident %zu KiB\n", first.peakHeap / 1024,
                first.residentKiB);
    std::printf("memory at the end:   heap peak %zu KiB, resident %zu KiB\n", last.peakHeap / 1024,
                last.residentKiB);
    const bool grew = last.peakHeap > first.peakHeap + kTolerance;
    std::printf("heap: %s\n", grew ? "GREW" : "no growth");
    return grew || maxQueue != kEventQueueCapacity || rounds < 4 ? 1 : 0;
}
