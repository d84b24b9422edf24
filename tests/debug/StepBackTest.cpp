// Stepping back: a program that takes timer events, reads the host's clock and a disk
// through system calls, calls a subroutine and writes to the text screen is run forward one
// instruction at a time with the machine's state noted at every count; going back must find exactly
// those states, and running forward again from the past must repeat them, with the host's clock,
// the host's input and the disk position all different by then.
#include "common/FakePlatform.h"
#include "common/WholeMachine.h"
#include "core/Machine.h"
#include "debug/Debugger.h"
#include "devices/ScreenState.h"
#include "host/HostGate.h"
#include "tools/asm/Assembler.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

const char* const kProgram = R"(
        MOV.32  #0x8000, sp
        MOV.32  #0x10205, r0    ; screen: text mode, 8 x 2
        MOV.32  #8, r8
        MOV.32  #2, r12
        SYS
        MOV.16  #0x0506, r0     ; disks: slot 0 from its start
        MOV.32  #0, r4
        MOV.32  #0, r8
        SYS
wait:   WAIT
got:    GETEVENT
        JZ.8    wait, r0
        MOV.32  r4, [0x300]     ; the timer's id
        MOV.16  #0x0901, r0     ; system: the time, from the host's counter
        SYS
        MOV.32  r4, [0x304]
        MOV.16  #0x0806, r0     ; disks: the next 4 bytes of slot 0
        MOV.32  #0, r4
        MOV.32  #4, r8
        MOV.32  #0x308, r12
read:   SYS
        CALL    bump
after:  MOV.32  #0x410505, r0   ; screen: an A at the column of the count of calls
column: MOV.32  [0x30C], r8
        MOV.32  #0, r12
        SYS
        JMP     wait
bump:   ADD.I32 [0x30C], #1, [0x30C]
        RET
)";

class StepBackTest : public testing::Test {
protected:
    void Boot(size_t budget, uint64_t interval) {
        CAssembler assembler;
        ASSERT_TRUE(assembler.AssembleText("back.asm", kProgram))
            << assembler.GetDiagnostics().Format();
        symbols = assembler.GetSymbolFile();
        platform.counterFrequency = 1000;
        machine = std::make_unique<CWholeMachine>(gate, assembler.GetImage(), "64k");
        ASSERT_TRUE(machine->IsComplete());
        gate.SetKernel(&machine->Kernel());
        debugger = std::make_unique<CDebugger>(machine->Kernel());
        debugger->SetSymbols(symbols);
        debugger->KeepHistory(machine->Machine(), gate, budget, interval);
    }
    ~StepBackTest() override { gate.SetKernel(nullptr); }

    uint32_t Label(const std::string& name) const {
        return static_cast<uint32_t>(symbols.Find(name).value_or(0));
    }
    uint64_t Count() const { return machine->Kernel().GetInstructionCount(); }

    // What the machine is at this instruction: registers, the program's data, the queue,
    // the screen's cells.
    std::vector<uint8_t> State() {
        std::vector<uint8_t> state(machine->Memory().GetRegisters(),
                                   machine->Memory().GetRegisters() + kRegisterBlockSize);
        const uint8_t* data = machine->Memory().GetData();
        state.insert(state.end(), data + 0x300, data + 0x310);
        state.insert(state.end(), data + 0x7FE0, data + 0x8000); // the stack
        state.push_back(static_cast<uint8_t>(machine->Kernel().GetEventCount()));
        SScreenState screen;
        machine->Machine().screen->SaveState(screen);
        for (const STextCell& cell : screen.backBuffer)
            state.push_back(cell.character);
        return state;
    }

    // Runs slices as a host does until the debugger stops the machine.
    SDebugStopInfo Drive() {
        std::string message;
        SDebugStopInfo stop;
        for (int i = 0; i < 100000; ++i) {
            const bool wait = debugger->RunSlice(message);
            if (debugger->TakeStop(stop))
                return stop;
            if (wait && !machine->Kernel().HasEvents()) {
                ADD_FAILURE() << "the program waits at " << machine->Kernel().GetIP();
                return stop;
            }
        }
        ADD_FAILURE() << "the debugger did not stop the machine";
        return stop;
    }
    // One instruction forward; when the program has just gone to wait, the host's timer
    // event comes, the host's clock moved on.
    void StepAndFeed() {
        debugger->StepInto();
        EXPECT_EQ(Drive().kind, EDebugStop::Step);
        if (machine->Kernel().GetIP() == Label("got") && !machine->Kernel().HasEvents()) {
            platform.counter += 1500;
            machine->Kernel().PostTimerEvent(++timerId);
        }
    }

    CFakePlatform platform;
    CHostGate gate{platform};
    std::unique_ptr<CWholeMachine> machine;
    std::unique_ptr<CDebugger> debugger;
    CSymbolFile symbols;
    uint32_t timerId = 100;
};

TEST_F(StepBackTest, StepsBackOverCallsSystemCallsAndEventsToTheStatesTheMachineHadAndReplaysThem) {
    // Snapshots every 16 instructions and a budget for a few of them: going back crosses
    // snapshots, and the older ones are thinned out on the way.
    constexpr size_t kBudget = 6 * 64 * 1024;
    Boot(kBudget, 16);
    std::string error;
    EXPECT_FALSE(debugger->StepBack(error));
    EXPECT_EQ(error, "the machine runs; pause it first");
    debugger->Pause();
    EXPECT_EQ(Drive().kind, EDebugStop::Pause);
    EXPECT_FALSE(debugger->StepBack(error));
    EXPECT_EQ(error, "the history reaches no further back");

    // Forward, one instruction at a time; the host's timer events arrive while the program
    // waits (a step does not end at WAIT: the program runs on when the event has come).
    std::map<uint64_t, std::vector<uint8_t>> seen;
    seen[Count()] = State();
    while (Count() < 160) {
        StepAndFeed();
        seen[Count()] = State();
        const SHistoryFigures figures = debugger->GetHistoryFigures();
        EXPECT_LE(figures.bytes, kBudget);
    }
    const uint64_t present = Count();
    const std::vector<uint8_t> presentState = State();
    ASSERT_GE(timerId, 105u);
    ASSERT_GT(seen.size(), 100u);

    // The history was thinned: the oldest instructions are out of reach, the recent ones in.
    const SHistoryFigures figures = debugger->GetHistoryFigures();
    EXPECT_GT(figures.snapshots, 1u);
    EXPECT_LT(figures.oldestCount, present - 32);

    // Back, one instruction at a time, to the oldest the history keeps: every state is the
    // one the machine had at that count (the host's clock and disk position moved on since).
    platform.counter += 1000000;
    while (debugger->StepBack(error)) {
        ASSERT_TRUE(seen.count(Count())) << Count();
        EXPECT_EQ(State(), seen[Count()]) << "at instruction " << Count();
        EXPECT_TRUE(debugger->IsInPast());
        SDebugStopInfo stop;
        EXPECT_TRUE(debugger->TakeStop(stop));
        EXPECT_EQ(stop.kind, EDebugStop::Step);
        EXPECT_EQ(stop.address, machine->Kernel().GetIP());
    }
    EXPECT_EQ(Count(), figures.oldestCount);

    // Forward again from the past: the same states, the host not asked (its clock is far
    // ahead) and its own input held back (the timer events it posts now go nowhere).
    while (Count() < present) {
        StepAndFeed();
        EXPECT_EQ(State(), seen[Count()]) << "at instruction " << Count();
    }
    EXPECT_FALSE(debugger->IsInPast());
    EXPECT_EQ(State(), presentState);

    // Back to the last breakpoint hit (in the subroutine, before its ADD), and to the last
    // change of the disk bytes (the SYS that read them), each time the newest one before.
    std::string unused;
    const int id = debugger->AddBreakpoint(Label("bump"), {}, unused);
    ASSERT_TRUE(debugger->ReverseContinue(error)) << error;
    SDebugStopInfo stop;
    ASSERT_TRUE(debugger->TakeStop(stop));
    EXPECT_EQ(stop.kind, EDebugStop::Break);
    EXPECT_EQ(stop.id, id);
    EXPECT_EQ(machine->Kernel().GetIP(), Label("bump"));
    const uint64_t lastBump = Count();
    EXPECT_EQ(State(), seen[lastBump]);
    ASSERT_TRUE(debugger->ReverseContinue(error)) << error;
    ASSERT_TRUE(debugger->TakeStop(stop));
    EXPECT_EQ(stop.kind, EDebugStop::Break);
    EXPECT_LT(Count(), lastBump);
    EXPECT_EQ(State(), seen[Count()]);

    debugger->RemoveBreakpoint(id);
    const int watch = debugger->AddWatchpoint(0x308, 4, unused);
    ASSERT_TRUE(debugger->ReverseContinue(error)) << error;
    ASSERT_TRUE(debugger->TakeStop(stop));
    EXPECT_EQ(stop.kind, EDebugStop::Watch);
    EXPECT_EQ(stop.id, watch);
    EXPECT_EQ(stop.address, Label("read"));
    const uint64_t read = Count();
    EXPECT_EQ(State(), seen[read]);

    // Forward from there, the watchpoint stops at the next read, as it did the first time.
    debugger->Continue();
    stop = Drive();
    EXPECT_EQ(stop.kind, EDebugStop::Watch);
    EXPECT_EQ(stop.address, Label("read"));
    EXPECT_GT(Count(), read);
    EXPECT_EQ(State(), seen[Count()]);

    // Back to the last read of the counter (for the screen's column), past the disk's writes
    // of the bytes beside it, which a read watchpoint there does not see.
    debugger->RemoveWatchpoint(watch);
    debugger->AddWatchpoint(0x308, 4, unused, EWatchKind::Read);
    const int counter = debugger->AddWatchpoint(0x30C, 4, unused, EWatchKind::Read);
    const uint64_t now = Count();
    ASSERT_TRUE(debugger->ReverseContinue(error)) << error;
    ASSERT_TRUE(debugger->TakeStop(stop));
    EXPECT_EQ(stop.kind, EDebugStop::Watch);
    EXPECT_EQ(stop.id, counter);
    EXPECT_TRUE(stop.read);
    EXPECT_EQ(stop.address, Label("column"));
    EXPECT_LT(Count(), now);
    EXPECT_EQ(State(), seen[Count()]);
}

} // namespace
