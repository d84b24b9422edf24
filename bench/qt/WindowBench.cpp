// How fast the window program runs the machine, measured against the goals of its run loop:
//   - a busy program reaches at least 90% of the headless runner's instructions per second;
//   - a waiting program uses under 1% of a core;
//   - a key press reaches a busy program within 20 ms;
//   - a full repaint of 80 x 25 changed cells takes under 2 ms;
//   - a 320 x 200 graphics program at 60 frames a second uses under 15% of a core.
// Run: QT_QPA_PLATFORM=offscreen build/tarquil-window-bench [seconds per figure]
#include "common/DiskImages.h"
#include "common/FileTestHelpers.h"
#include "core/Kernel.h"
#include "core/Machine.h"
#include "devices/Screen.h"
#include "host/HeadlessPlatform.h"
#include "host/HeadlessRun.h"
#include "host/HeadlessScreenSurface.h"
#include "host/HostSystem.h"
#include "host/MachineAssembly.h"
#include "host/qt/MainWindow.h"
#include "host/qt/QtScreenSurface.h"
#include "host/qt/ScreenWidget.h"
#include "support/ErrorStack.h"
#include "tools/asm/Assembler.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

namespace {

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double WallSeconds() {
    return static_cast<double>(MonotonicNanoseconds()) * 1e-9;
}

void RunEventLoopFor(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

int failures = 0;

void Report(const char* figure, double value, const char* unit, const char* goal, bool met) {
    std::printf("%-44s %12.3f %-8s goal %-10s %s\n", figure, value, unit, goal,
                met ? "met" : "MISSED");
    if (!met)
        ++failures;
}

// A settings directory with a boot disk holding the program.
class CBenchSetup {
public:
    explicit CBenchSetup(const std::string& source) {
        CAssembler assembler;
        if (!assembler.AssembleText("bench.asm", ".include \"tarquil.inc\"\n" + source)) {
            std::fprintf(stderr, "%s", assembler.GetDiagnostics().Format().c_str());
            std::exit(2);
        }
        image = directory.path + "/bench.disk";
        testhelpers::WriteBytes(
            image, testhelpers::DiskImageBytes(testhelpers::BootDataArea(assembler.GetImage())));
        testhelpers::WriteBytes(directory.path + "/Tarquil1.ini",
                                "[Memory]\nSize=1m\n[Kernel]\nPriority=3\n[MIDI]\nEnabled=false\n"
                                "[Disks]\nCount=1\n");
        testhelpers::WriteBytes(directory.path + "/Tarquil2.ini", "");
    }
    std::string Directory() const { return directory.path + "/"; }
    std::string CommandLine() const { return "-noask -disk 0 \"" + image + "\""; }

private:
    testhelpers::CTemporaryDirectory directory;
    std::string image;
};

std::unique_ptr<CMainWindow> OpenWindow(const CBenchSetup& setup) {
    auto window = std::make_unique<CMainWindow>(setup.Directory(), setup.CommandLine());
    window->StartMachine();
    window->show();
    QApplication::processEvents();
    if (!window->GetMachine()) {
        std::fprintf(stderr, "the machine did not start\n");
        std::exit(2);
    }
    return window;
}

const char* const kBusyProgram = R"(
loop:   INC.U32 [counter]
        ADD.U32 [counter], #3, [sum]
        JMP     loop
counter: .dd 0
sum:    .dd 0
)";

// Instructions and seconds of one run of the busy program.
struct SSpeed {
    double instructions = 0;
    double seconds = 0;
};

SSpeed RunHeadlessFor(const CBenchSetup& setup, double seconds) {
    CHeadlessPlatform platform;
    CHeadlessScreenSurface surface;
    SMachineEnvironment environment;
    environment.platform = &platform;
    environment.screenSurface = &surface;
    environment.settingsDirectory = setup.Directory();
    environment.commandLine = setup.CommandLine();
    CMachineHost host(environment);
    host.StartMachine();
    SHeadlessRunSettings settings;
    settings.timeoutSeconds = seconds;
    const SHeadlessRunResult result = RunHeadless(*host.GetMachine(), platform, settings, {});
    return {static_cast<double>(result.instructions), result.seconds};
}

SSpeed RunWindowFor(const CBenchSetup& setup, double seconds) {
    auto window = OpenWindow(setup);
    CKernel& kernel = *window->GetMachine()->kernel;
    const uint64_t first = kernel.GetInstructionCount();
    const double start = WallSeconds();
    RunEventLoopFor(seconds);
    return {static_cast<double>(kernel.GetInstructionCount() - first), WallSeconds() - start};
}

// The two hosts take turns, so that a change in the load of the machine meets both alike.
void MeasureBusyProgram(double seconds) {
    const CBenchSetup setup(kBusyProgram);
    SSpeed headless, windowed;
    for (int round = 0; round < 4; ++round) {
        const SSpeed h = RunHeadlessFor(setup, seconds / 4);
        const SSpeed w = RunWindowFor(setup, seconds / 4);
        headless.instructions += h.instructions;
        headless.seconds += h.seconds;
        windowed.instructions += w.instructions;
        windowed.seconds += w.seconds;
    }
    const double headlessSpeed = headless.instructions / headless.seconds;
    const double windowSpeed = windowed.instructions / windowed.seconds;
    std::printf("headless runner: %.1f million instructions per second\n", headlessSpeed * 1e-6);
    std::printf("window program:  %.1f million instructions per second\n", windowSpeed * 1e-6);
    Report("busy program, window / headless", 100.0 * windowSpeed / headlessSpeed, "%", ">= 90",
           windowSpeed >= 0.9 * headlessSpeed);
}

void MeasureWaitingProgram(double seconds) {
    const CBenchSetup setup("loop: WAIT\n GETEVENT\n JMP loop\n");
    auto window = OpenWindow(setup);
    RunEventLoopFor(0.2);
    const double cpu = ProcessCpuSeconds();
    const double start = WallSeconds();
    RunEventLoopFor(seconds);
    const double share = 100.0 * (ProcessCpuSeconds() - cpu) / (WallSeconds() - start);
    Report("waiting program, CPU of one core", share, "%", "< 1", share < 1.0);
}

// A busy program that polls for events and counts the key presses it took.
const char* const kPollingProgram = R"(
loop:   GETEVENT
        NE.16   r0, #EVENT_KEYBOARD | KIND_KEY << 8, [flag]
        JNZ.8   work, [flag]
        INC.U32 [presses]
work:   INC.U32 [spin]
        JMP     loop
flag:   .db 0
spin:   .dd 0
        .align 4
presses: .dd 0
)";

void MeasureKeyLatency(int presses) {
    CAssembler probe;
    probe.AssembleText("probe.asm", std::string(".include \"tarquil.inc\"\n") + kPollingProgram);
    const auto counterAddress = static_cast<uint32_t>(probe.GetSymbol("presses").value_or(0));
    const CBenchSetup setup(kPollingProgram);
    auto window = OpenWindow(setup);
    CMemory& memory = *window->GetMachine()->memory;
    auto counter = [&] {
        uint32_t value = 0;
        memory.Read(counterAddress, value, true);
        return value;
    };
    RunEventLoopFor(0.1);
    std::vector<double> latencies;
    const double cpuBefore = ProcessCpuSeconds();
    const double wallBefore = WallSeconds();
    for (int i = 0; i < presses; ++i) {
        const uint32_t before = counter();
        const double start = WallSeconds();
        // As the window system would deliver it: queued behind whatever Qt has waiting.
        QCoreApplication::postEvent(
            &window->GetScreenWidget(),
            new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a"));
        QCoreApplication::postEvent(
            &window->GetScreenWidget(),
            new QKeyEvent(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, "a"));
        while (counter() < before + 2 && WallSeconds() - start < 1.0)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        latencies.push_back((WallSeconds() - start) * 1000.0);
        RunEventLoopFor(0.005);
    }
    // A busy program takes a whole core; when the host is shared, the figures stretch.
    const double share = (ProcessCpuSeconds() - cpuBefore) / (WallSeconds() - wallBefore);
    std::printf("share of a core the program got meanwhile: %.0f%%%s\n", 100.0 * share,
                share < 0.9 ? " (the host is busy: latencies stretch by about 1/share)" : "");
    std::sort(latencies.begin(), latencies.end());
    const double worst = latencies.back();
    const double mean = std::accumulate(latencies.begin(), latencies.end(), 0.0) / presses;
    std::printf(
        "key press to busy program: mean %.2f ms, 95th percentile %.2f ms over %d presses\n", mean,
        latencies[latencies.size() * 95 / 100], presses);
    Report("key press to busy program, worst", worst, "ms", "< 20", worst < 20.0);
}

// Refreshes 80 x 25 cells that all changed, in runs of eight cells of one colour pair,
// and lets the window show them.
void MeasureTextRepaint(int repetitions) {
    QWidget widget;
    widget.resize(640, 400);
    CQtScreenSurface surface(widget);
    CScreen screen(&surface, false);
    screen.SetMode(kScreenText, 80, 25);
    widget.show();
    QApplication::processEvents();
    std::vector<double> times;
    for (int i = 0; i < repetitions; ++i) {
        for (int32_t y = 0; y < 25; ++y)
            for (int32_t x = 0; x < 80; ++x) {
                const uint32_t colour =
                    static_cast<uint32_t>((x / 8 + y + i) % 7 + 1) * 0x00232323u;
                screen.PutCell(x, y,
                               {static_cast<uint8_t>('A' + (x + y + i) % 26), 0,
                                0x00FFFFFFu ^ colour, colour});
            }
        const double start = WallSeconds();
        screen.Refresh();
        widget.repaint();
        times.push_back((WallSeconds() - start) * 1000.0);
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf("full text repaint: median %.3f ms, slowest %.3f ms\n", median, times.back());
    Report("full repaint of 80 x 25 changed cells", median, "ms", "< 2", median < 2.0);
}

// Sets a new 320 x 200 picture and refreshes at every tick of a 16 ms timer.
const char* const kAnimationProgram = R"(
        MOV.8   #GROUP_SCREEN, r0
        MOV.8   #SCREEN_SET_MODE, r1
        MOV.8   #MODE_GRAPHICS, r2
        MOV.32  #320, r8
        MOV.32  #200, r12
        SYS
        MOV.8   #GROUP_SYSTEM, r0
        MOV.8   #SYSTEM_START_TIMER, r1
        MOV.32  #1, r4
        MOV.32  #16, r8
        SYS
frame:  WAIT
        GETEVENT
        NE.16   r0, #EVENT_SYSTEM | KIND_TIMER << 8, [flag]
        JNZ.8   frame, [flag]
        ADD.U32 [shade], #0x00030201, [shade]
        FILL.32 #64000, [shade], [pixels]
        MOV.8   #GROUP_SCREEN, r0
        MOV.8   #SCREEN_SET_PIXELS, r1
        MOV.32  #pixels, r4
        SYS
        MOV.8   #GROUP_SCREEN, r0
        MOV.8   #SCREEN_REFRESH, r1
        SYS
        INC.U32 [frames]
        JMP     frame
flag:   .db 0
        .align 4
shade:  .dd 0
frames: .dd 0
pixels: .fill 64000, 0, 4
)";

void MeasureAnimation(double seconds) {
    CAssembler probe;
    probe.AssembleText("probe.asm", std::string(".include \"tarquil.inc\"\n") + kAnimationProgram);
    const auto framesAddress = static_cast<uint32_t>(probe.GetSymbol("frames").value_or(0));
    const CBenchSetup setup(kAnimationProgram);
    auto window = OpenWindow(setup);
    window->resize(1024, 700);
    RunEventLoopFor(0.3);
    CMemory& memory = *window->GetMachine()->memory;
    uint32_t framesBefore = 0, framesAfter = 0;
    memory.Read(framesAddress, framesBefore, true);
    const double cpu = ProcessCpuSeconds();
    const double start = WallSeconds();
    RunEventLoopFor(seconds);
    const double wall = WallSeconds() - start;
    const double share = 100.0 * (ProcessCpuSeconds() - cpu) / wall;
    memory.Read(framesAddress, framesAfter, true);
    int32_t scale = 0, gap = 0;
    window->GetMachine()->screen->GetPixelScale(scale, gap);
    std::printf("graphics program: %.1f frames a second at scale %d\n",
                (framesAfter - framesBefore) / wall, scale);
    Report("320 x 200 graphics at 60 fps, CPU of one core", share, "%", "< 15", share < 15.0);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication application(argc, argv);
    const double seconds = argc > 1 ? std::max(0.5, std::atof(argv[1])) : 2.0;
    qm::SetErrorBoxHandler(
        [](const std::string& text) { std::fprintf(stderr, "error: %s\n", text.c_str()); });
    MeasureBusyProgram(seconds);
    MeasureWaitingProgram(seconds);
    MeasureKeyLatency(50);
    MeasureTextRepaint(200);
    MeasureAnimation(seconds);
    return failures == 0 ? 0 : 1;
}
