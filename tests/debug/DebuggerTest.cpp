// The debugger's semantics on whole machines: programs assembled here with their symbols,
// driven as a front end drives them (RunSlice until the debugger pauses the machine).
#include "debug/Debugger.h"
#include "common/FakePlatform.h"
#include "common/WholeMachine.h"
#include "debug/HeadWrites.h"
#include "tools/asm/Assembler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>

namespace {

class DebuggerTest : public testing::Test {
protected:
    // Assembles and boots the program with a debugger attached; false on assembly errors.
    void Boot(const std::string& source) {
        CAssembler assembler;
        ASSERT_TRUE(assembler.AssembleText("test.asm", source))
            << assembler.GetDiagnostics().Format();
        symbols = assembler.GetSymbolFile();
        machine = std::make_unique<CWholeMachine>(platform, assembler.GetImage(), "64k");
        ASSERT_TRUE(machine->IsComplete());
        debugger = std::make_unique<CDebugger>(machine->Kernel());
        debugger->SetSymbols(symbols);
    }

    uint32_t Label(const std::string& name) const {
        const auto value = symbols.Find(name);
        EXPECT_TRUE(value.has_value()) << name;
        return static_cast<uint32_t>(value.value_or(0));
    }
    uint32_t Dword(uint32_t address) const {
        SDebugValue value;
        std::string error;
        char text[32];
        std::snprintf(text, sizeof text, "[%u].32", address);
        EXPECT_TRUE(debugger->Evaluate(text, value, error)) << error;
        return static_cast<uint32_t>(value.integer);
    }
    uint32_t Value(const std::string& expression) const {
        SDebugValue value;
        std::string error;
        EXPECT_TRUE(debugger->Evaluate(expression, value, error)) << error;
        return static_cast<uint32_t>(value.integer);
    }
    int Break(const std::string& where, const std::string& condition = {}) {
        uint32_t address;
        std::string error;
        EXPECT_TRUE(debugger->ResolveAddress(where, address, error)) << error;
        const int id = debugger->AddBreakpoint(address, condition, error);
        EXPECT_NE(id, 0) << error;
        return id;
    }
    int Watch(uint32_t address, uint32_t length, EWatchKind kind = EWatchKind::Write) {
        std::string error;
        const int id = debugger->AddWatchpoint(address, length, error, kind);
        EXPECT_NE(id, 0) << error;
        return id;
    }

    // Runs slices as a host does until the debugger stops the machine; the stop. A
    // program that waits for input on an empty queue fails the test.
    SDebugStopInfo Drive(int maxSlices = 100000) {
        std::string message;
        SDebugStopInfo stop;
        for (int i = 0; i < maxSlices; ++i) {
            const bool wait = debugger->RunSlice(message);
            if (!message.empty())
                messages.push_back(message);
            if (debugger->TakeStop(stop))
                return stop;
            if (wait && !machine->Kernel().HasEvents()) {
                ADD_FAILURE() << "the program waits at " << IP();
                return stop;
            }
        }
        ADD_FAILURE() << "the debugger did not stop the machine";
        return stop;
    }
    uint32_t IP() const { return machine->Kernel().GetIP(); }
    uint64_t Count() const { return machine->Kernel().GetInstructionCount(); }

    CFakePlatform platform;
    std::unique_ptr<CWholeMachine> machine;
    std::unique_ptr<CDebugger> debugger;
    CSymbolFile symbols;
    std::vector<std::string> messages;
};

// Factorial by recursion, with the return addresses on the machine stack; a subroutine that
// moves BASE (and SP with it, so the stack stays where it is) before it returns.
const char* const kCalls = R"(
        MOV.32  #0x8000, sp
        MOV.32  #3, r0
main:   CALL    fact
after:  MOV.32  r4, [0x100]
        CALL    moved
back:   WAIT
fact:   JNZ.32  .more, r0
        MOV.32  #1, r4
        RET
.more:  PUSH.32 r0
        SUB.I32 r0, #1, r0
again:  CALL    fact
        POP.32  r0
        MUL.I32 r4, r0, r4
        RET
moved:  MOV.32  #0x1000, base
        SUB.I32 sp, #0x1000, sp
inside: NOP
        NOP
        RET
)";

TEST_F(DebuggerTest, StepOverAndOutFollowTheMachineStackThroughRecursionAndBaseChanges) {
    Boot(kCalls);
    // The recursive call of the level where r0 is 2: stepping over it runs every deeper
    // level, which return to this very address first, and stops at this level's return.
    const int id = Break("again", "r0 == 1 && sp == 0x8010");
    SDebugStopInfo stop = Drive();
    ASSERT_EQ(stop.kind, EDebugStop::Break);
    EXPECT_EQ(stop.id, id);
    EXPECT_EQ(IP(), Label("again"));
    EXPECT_EQ(Value("r0"), 1u);

    const std::vector<SCallFrame> frames = debugger->GetCallStack();
    ASSERT_EQ(frames.size(), 3u); // here, fact called from fact, fact called from main
    EXPECT_EQ(frames[0].function, "again");
    EXPECT_EQ(frames[1].address, Label("again"));
    EXPECT_EQ(frames[2].address, Label("main"));
    EXPECT_EQ(frames[2].function, "main");

    debugger->RemoveBreakpoint(id);
    debugger->StepOver();
    stop = Drive();
    EXPECT_EQ(stop.kind, EDebugStop::Step);
    EXPECT_EQ(IP(), Label("again") + 6); // the POP behind the CALL, at this level
    EXPECT_EQ(Value("r4"), 1u);          // fact(1), not fact(0) of the level below
    EXPECT_EQ(Value("sp"), 0x8010u);

    // Out of two levels, one step out each: fact(2) then fact(3) return to main.
    debugger->StepOut();
    EXPECT_EQ(Drive().kind, EDebugStop::Step);
    EXPECT_EQ(IP(), Label("again") + 6);
    EXPECT_EQ(Value("r4"), 2u);
    debugger->StepOut();
    EXPECT_EQ(Drive().kind, EDebugStop::Step);
    EXPECT_EQ(IP(), Label("after"));
    EXPECT_EQ(Value("r4"), 6u);

    // An instruction that is no CALL is one step, over or into.
    debugger->StepOver();
    EXPECT_EQ(Drive().kind, EDebugStop::Step);
    EXPECT_EQ(Dword(0x100), 6u);

    // Step out of a subroutine that moved BASE: the return lands behind its CALL anyway.
    Break("inside");
    debugger->Continue();
    EXPECT_EQ(Drive().kind, EDebugStop::Break);
    debugger->StepOut(); // resumes without stopping at once on the same breakpoint
    EXPECT_EQ(Drive().kind, EDebugStop::Step);
    EXPECT_EQ(IP(), Label("back"));
    EXPECT_EQ(Value("base"), 0x1000u);
}

// Recursion whose every level spins longer than a slice, so that stepping over and out and
// running to an address go through the chains with the checks.
const char* const kLongCalls = R"(
        MOV.32  #0x8000, sp
        MOV.32  #3, r0
main:   CALL    fact
after:  MOV.32  r4, [0x100]
done:   WAIT
fact:   MOV.32  #20, r8
spin:   SUB.I32 r8, #1, r8
        JNZ.32  spin, r8
        JNZ.32  more, r0
one:    MOV.32  #1, r4
leaf:   RET
more:   PUSH.32 r0
        SUB.I32 r0, #1, r0
again:  CALL    fact
        POP.32  r0
        MUL.I32 r4, r0, r4
        RET
)";

TEST_F(DebuggerTest, StepsOverAndOutAndRunsToAnAddressThroughLongCallsWithExactCounts) {
    // The reference: every head and SP, one step into at a time.
    Boot(kLongCalls);
    std::vector<uint32_t> heads;
    std::vector<uint32_t> sps;
    while (IP() != Label("done") && heads.size() < 1000) {
        heads.push_back(IP());
        sps.push_back(Value("sp"));
        debugger->StepInto();
        ASSERT_EQ(Drive().kind, EDebugStop::Step);
    }
    ASSERT_EQ(IP(), Label("done"));
    // The first step from `from` on that is at `head` with that SP.
    const auto first = [&](size_t from, uint32_t head, uint32_t sp) {
        size_t i = from;
        while (i < heads.size() && (heads[i] != head || sps[i] != sp))
            ++i;
        EXPECT_LT(i, heads.size()) << head;
        return i;
    };
    const auto stepTo = [&](size_t index, EDebugStop kind = EDebugStop::Step) {
        const SDebugStopInfo stop = Drive();
        EXPECT_EQ(stop.kind, kind);
        EXPECT_EQ(Count(), index);
        EXPECT_EQ(IP(), index < heads.size() ? heads[index] : Label("done"));
        return stop;
    };

    // To the innermost RET, then out of it and out of the level above.
    Boot(kLongCalls);
    debugger->RunTo(Label("leaf"));
    const size_t leaf = first(0, Label("leaf"), 0x801C);
    stepTo(leaf);
    debugger->StepOut();
    const size_t up = first(leaf, Label("again") + 6, sps[leaf] - 4);
    stepTo(up);
    debugger->StepOut();
    stepTo(first(up, Label("again") + 6, sps[up] - 8));

    // Over the recursive call of fact(3): the levels below spin through many slices and
    // return to the same address first.
    Boot(kLongCalls);
    Break("again", "r0 == 2");
    const size_t call = first(0, Label("again"), 0x8008);
    stepTo(call, EDebugStop::Break);
    debugger->StepOver();
    const size_t back = first(call, Label("again") + 6, sps[call]);
    stepTo(back);
    EXPECT_EQ(Value("r4"), 2u);
    debugger->StepOut();
    stepTo(first(back, Label("after"), 0x8000));

    // A watched register written deep inside a call that is stepped over stops the step
    // right after the write.
    Boot(kLongCalls);
    debugger->RunTo(Label("main"));
    stepTo(2);
    const int id = Watch(0x7FFFFC04, 4);
    debugger->StepOver();
    const size_t write = first(2, Label("one"), 0x801C);
    const SDebugStopInfo stop = stepTo(write + 1, EDebugStop::Watch);
    EXPECT_EQ(stop.id, id);
    EXPECT_EQ(stop.address, Label("one"));
}

// What the checks skip the watched words on, against the machine itself: every head word that
// the write classes say writes nothing, or one value through a direct field, run with that
// field and its pointer fields naming registers, its other direct fields data memory and its
// immediates random, changes no byte of data memory (and, writing nothing, no register
// before IP).
TEST_F(DebuggerTest, InstructionsThatTheWriteClassesCallQuietChangeNoDataMemory) {
    constexpr uint32_t kAt = 0x1000;
    std::mt19937 random(13);
    size_t checked = 0;
    for (uint32_t word = 0; word < CKernel::kHeadWords; ++word) {
        const SHeadWrites writes = DescribeHeadWrites(word);
        if (writes.kind == EHeadWrites::Anything)
            continue;
        if (!machine || !machine->Kernel().IsRunning())
            Boot("idle: WAIT\n");
        CMemory& memory = machine->Memory();
        uint8_t* data = memory.GetData();
        for (uint32_t i = 0; i < 0x100; ++i)
            data[0x2000 + i] = static_cast<uint8_t>(random());
        uint8_t* registers = memory.GetRegisters();
        for (uint32_t i = 0; i < kRegisterSP; ++i)
            registers[i] = static_cast<uint8_t>(random());
        memory.SetSP(0x8000);
        memory.SetBASE(0);
        // The instruction: its head, then its fields as the opcode map lays them out.
        const uint32_t head = word & 0xFF;
        const SOpcodeInfo& info = GetOpcodeInfo(HeadCategory(head), word >> 8);
        uint32_t position = kAt + 2;
        data[kAt] = static_cast<uint8_t>(head);
        data[kAt + 1] = static_cast<uint8_t>(word >> 8);
        for (uint32_t i = 0; i < info.operandCount; ++i) {
            const uint32_t mode = HeadMode(head, info.operands[i].mode);
            const uint32_t size = OperandFieldSize(info.operands[i], mode, 0);
            // The written field names a register, the other direct fields data memory.
            const bool toData = mode == kModeDirect && writes.kind == EHeadWrites::DirectOperand &&
                                position - kAt != writes.fieldOffset;
            uint32_t field =
                toData ? 0x2000 + random() % 0xF0 : kRegisterBlockAddress + random() % 25;
            if (mode == kModeImmediate)
                for (uint32_t b = 0; b < size; ++b)
                    data[position + b] = static_cast<uint8_t>(random());
            else
                std::memcpy(data + position, &field, 4);
            position += size;
        }
        const std::vector<uint8_t> before(data, data + memory.GetSize());
        const std::vector<uint8_t> registersBefore(registers, registers + kRegisterIP);
        machine->Kernel().SetIP(kAt);
        debugger->StepInto();
        std::string message;
        debugger->RunSlice(message);
        if (!machine->Kernel().IsRunning())
            continue; // failed (a value out of range, a pointer out of memory)
        ++checked;
        EXPECT_TRUE(std::equal(before.begin(), before.end(), data))
            << "head word 0x" << std::hex << word << " " << info.mnemonic;
        if (writes.kind == EHeadWrites::Nothing) {
            EXPECT_TRUE(std::equal(registersBefore.begin(), registersBefore.end(), registers))
                << "head word 0x" << std::hex << word << " " << info.mnemonic;
        }
    }
    EXPECT_GT(checked, 1000u);
}

const char* const kCounter = R"(
start:  CLR.32  r0
loop:   ADD.I32 r0, #1, r0
        MOV.32  r0, [counter]
        JMP     loop
counter: .dword 0
)";

TEST_F(DebuggerTest, BreakpointsCutTheSliceWithExactCountsConditionsAndHitCounts) {
    Boot(kCounter);
    // r0 counts the rounds; "loop" is reached after 1, 4, 7, ... instructions.
    const int conditional = Break("loop", "[counter].32 >= 5");
    SDebugStopInfo stop = Drive();
    EXPECT_EQ(stop.kind, EDebugStop::Break);
    EXPECT_EQ(stop.address, Label("loop"));
    EXPECT_EQ(IP(), Label("loop"));
    EXPECT_EQ(Count(), 1u + 3 * 5); // inside the first slice, cut there
    EXPECT_EQ(Value("r0"), 5u);

    // A second breakpoint with an ignore count: two arrivals pass, the third stops.
    debugger->RemoveBreakpoint(conditional);
    const int counted = Break("loop");
    debugger->SetIgnoreCount(counted, 2);
    debugger->Continue();
    EXPECT_EQ(Drive().id, counted);
    EXPECT_EQ(Count(), 1u + 3 * 8);
    EXPECT_EQ(debugger->GetBreakpoints().front().hits, 3u);

    // Disabled, the breakpoint costs the slices nothing: they are the kernel's own again.
    debugger->EnableBreakpoint(counted, false);
    debugger->SetTraceLength(0);
    debugger->Continue();
    std::string message;
    for (int i = 0; i < 10; ++i)
        debugger->RunSlice(message);
    EXPECT_EQ(Count(), 1u + 3 * 8 + 320);
    EXPECT_FALSE(debugger->IsPaused());

    // Changed from the debugger, the program's state goes on from the new values.
    debugger->EnableBreakpoint(counted, true);
    debugger->SetIgnoreCount(counted, 0);
    EXPECT_EQ(Drive().kind, EDebugStop::Break);
    std::string error;
    ASSERT_TRUE(debugger->Assign("r0", "1000 - 1", error)) << error;
    debugger->Continue();
    Drive();
    EXPECT_EQ(Dword(Label("counter")), 1000u);
    EXPECT_FALSE(debugger->Assign("[0x10000000].8", "1", error));
    SDebugValue value;
    EXPECT_FALSE(debugger->Evaluate("r0 ==", value, error));
}

// Writes of every kind: a block move, a fill, the registers pushed, a disk read by SYS.
const char* const kWrites = R"(
        MOV.32  #0x2000, sp
        MOV.32  #0x11223344, r0
movb:   MOVB    #4, #"abcd", [0x400]
fill:   FILL.8  #8, #0x55, [0x500]
pushr:  PUSHR
        MOV.16  #0x0506, r0     ; disks: seek to 0 in slot 0
        MOV.32  #0, r4
        MOV.32  #0, r8
        SYS
        MOV.8   #8, r1          ; read 16 bytes to 0x600
        MOV.32  #16, r8
        MOV.32  #0x600, r12
sys:    SYS
        MOV.8   #0x66, [0x600]
idle:   WAIT
        JMP     idle
)";

TEST_F(DebuggerTest, WatchpointsCatchBlockInstructionsPushedRegistersAndSystemCalls) {
    Boot(kWrites);
    const int movb = Watch(0x402, 1);
    const int fill = Watch(0x507, 1);
    const int pushr = Watch(0x2000, 4);
    const int sys = Watch(0x608, 8);
    const struct {
        int id;
        const char* label;
    } expected[] = {{movb, "movb"}, {fill, "fill"}, {pushr, "pushr"}, {sys, "sys"}};
    for (const auto& e : expected) {
        const SDebugStopInfo stop = Drive();
        EXPECT_EQ(stop.kind, EDebugStop::Watch) << e.label;
        EXPECT_EQ(stop.id, e.id) << e.label;
        EXPECT_EQ(stop.address, Label(e.label)) << e.label;
        debugger->Continue();
    }
    EXPECT_EQ(Value("[0x402].8"), uint32_t{'c'});
    EXPECT_EQ(Value("[0x2000].32"), 0x11223344u);
    // The write of the same range's first byte by the next instruction is not watched;
    // the program ends waiting, with nothing else to report.
    std::string message;
    for (int i = 0; i < 5; ++i)
        debugger->RunSlice(message);
    SDebugStopInfo stop;
    EXPECT_FALSE(debugger->TakeStop(stop));
    EXPECT_EQ(Value("[0x600].8"), 0x66u);
    EXPECT_EQ(debugger->GetWatchpoints()[3].hits, 1u);
}

// Reads of every kind, and writes beside them: a direct operand, the pointer and the target of
// an indirect one, the stack that RET and POP read, a block source, a string that a system
// call reads. Write-only instructions do not stop read watchpoints, reads do not stop write
// watchpoints, and an access watchpoint stops for both.
const char* const kReads = R"(
        MOV.32  #0x2000, sp
wdata:  MOV.32  #7, [value]
direct: ADD.I32 [value], #1, r8
indir:  MOV.32  [[ptr]], r12
        CALL    sub
        PUSH.32 #5
pop:    POP.32  r16
movb:   MOVB    #4, [text], [0x600]
        MOVB    #4, #"wxyz", [text]
        MOV.16  #0x0601, r0     ; the title message: 3 bytes from msg
        MOV.8   #3, r2
        MOV.32  #msg, r4
sys:    SYS
incp:   INC.U32 [ptr]
readp:  MOV.32  [ptr], r20
idle:   WAIT
        JMP     idle
sub:    RET
ptr:    .dword  value
value:  .dword  0
text:   .ascii  "abcd"
msg:    .ascii  "hey"
)";

TEST_F(DebuggerTest, ReadWatchpointsStopAfterEveryKindOfReadAndOnlyThere) {
    Boot(kReads);
    const int written = Watch(Label("value"), 4);
    const int value = Watch(Label("value"), 4, EWatchKind::Read);
    const int pointer = Watch(Label("ptr"), 4, EWatchKind::Access);
    const int stack = Watch(0x2000, 4, EWatchKind::Read);
    const int text = Watch(Label("text") + 3, 1, EWatchKind::Read);
    const int msg = Watch(Label("msg") + 1, 2, EWatchKind::Read);
    const struct {
        int id;
        const char* label;
        bool read;
        uint64_t count; // instructions run when it stops
    } expected[] = {
        {written, "wdata", false, 2}, {value, "direct", true, 3},   {value, "indir", true, 4},
        {stack, "sub", true, 6},      {stack, "pop", true, 8},      {text, "movb", true, 9},
        {msg, "sys", true, 14},       {pointer, "incp", false, 15}, {pointer, "readp", true, 16},
    };
    for (const auto& e : expected) {
        const SDebugStopInfo stop = Drive();
        EXPECT_EQ(stop.kind, EDebugStop::Watch) << e.label;
        EXPECT_EQ(stop.id, e.id) << e.label;
        EXPECT_EQ(stop.address, Label(e.label)) << e.label;
        EXPECT_EQ(stop.read, e.read) << e.label;
        EXPECT_EQ(Count(), e.count) << e.label;
        debugger->Continue();
    }
    // The program ran as it does without a debugger, then waits with nothing to report.
    std::string message;
    for (int i = 0; i < 5; ++i)
        debugger->RunSlice(message);
    SDebugStopInfo stop;
    EXPECT_FALSE(debugger->TakeStop(stop));
    EXPECT_EQ(Value("r8"), 8u);
    EXPECT_EQ(Value("r12"), 7u);
    EXPECT_EQ(Value("r16"), 5u);
    EXPECT_EQ(Value("r20"), Label("value") + 1);
    EXPECT_EQ(Value("[0x600].32"), 0x64636261u); // "abcd", before MOVB wrote "wxyz" over it
    EXPECT_EQ(messages, std::vector<std::string>{"hey"});
    // Each instruction counts once for each watchpoint it hit: the pointer read by the
    // indirect operand too, and read and written by INC once.
    const std::vector<uint64_t> hits = {1, 2, 3, 2, 1, 1};
    for (size_t i = 0; i < hits.size(); ++i)
        EXPECT_EQ(debugger->GetWatchpoints()[i].hits, hits[i]) << i;
    EXPECT_STREQ(WatchKindName(debugger->GetWatchpoints()[2].kind), "access");
}

// Code that rewrites itself: the breakpoint stays on the address and the new instruction
// runs; then a load from outside memory fails.
const char* const kFaulting = R"(
start:  MOVB    #2, #{0x00, 0xFF}, [patch]
patch:  .byte   0x00, 0x70
fail:   MOV.32  [0x7FFF0000], r0
        WAIT
)";

TEST_F(DebuggerTest, FaultsLeaveIpAtTheFailingHeadAndSelfModifiedCodeRunsAsWritten) {
    Boot(kFaulting);
    Break("patch");
    EXPECT_EQ(Drive().kind, EDebugStop::Break);
    EXPECT_EQ(debugger->Disassemble(IP()).instruction.text, "NOP");
    debugger->Continue();
    const SDebugStopInfo stop = Drive();
    EXPECT_EQ(stop.kind, EDebugStop::Fault);
    EXPECT_EQ(stop.address, Label("fail"));
    EXPECT_EQ(stop.message, "Memory error");
    EXPECT_EQ(IP(), Label("fail"));
    EXPECT_EQ(symbols.SourceOf(stop.address), "test.asm:4");
    const std::vector<uint32_t> trace = debugger->GetTrace();
    ASSERT_EQ(trace.size(), 3u);
    EXPECT_EQ(trace[0], Label("start"));
    EXPECT_EQ(trace[1], Label("patch"));
    EXPECT_EQ(trace[2], Label("fail"));

    // Without a debugger the kernel knows the head too, from the fast path, and leaves IP
    // where the failing instruction had moved it.
    for (const char* source : {kFaulting, "MOVB #3, [0x10], [0x7FFF0000]\n"}) {
        CAssembler assembler;
        ASSERT_TRUE(assembler.AssembleText("plain.asm", source));
        CWholeMachine plain(platform, assembler.GetImage(), "64k");
        std::string message;
        for (int i = 0; i < 10 && plain.Kernel().IsRunning(); ++i)
            plain.Kernel().RunSlice(message);
        uint32_t head = 1;
        ASSERT_TRUE(plain.Kernel().GetFaultHead(head));
        EXPECT_EQ(head, assembler.GetSymbol("fail").value_or(0));
        EXPECT_NE(plain.Kernel().GetIP(), head);
    }
}

// Every path an instruction can take through a slice: chains of fast forms, the exact path
// of CALL, RET, MOVB, FILL and SYS, and code so near the end of data memory that the slice
// loop takes its heads itself.
const char* const kEveryPath = R"(
        MOV.32  #0x8000, sp
        CLR.32  r20
top:    CALL    sub
        MOVB    #4, #"wxyz", [0x400]
        ADD.I32 r20, #1, r20
        MOV.32  r20, [0x404]
        JMP     far
back:   LT.U32  r20, #30, r24
        JNZ.8   top, r24
        MOV.16  #0x0506, r0     ; disks: seek to 0 in slot 0
        MOV.32  #0, r4
        MOV.32  #0, r8
        SYS
        MOV.8   #8, r1          ; read 16 bytes to 0x600
        MOV.32  #16, r8
        MOV.32  #0x600, r12
        SYS
        MOV.8   #0x66, [0x600]
idle:   WAIT
        JMP     idle
sub:    FILL.8  #8, r20, [0x500]
        PUSH.32 r20
        POP.32  r28
        RET
        .org    0xFFE8
far:    ADD.I32 r20, #2, r20
        JMP     back
)";

// Runs as a host does until the debugger stops the machine (true) or the program waits.
bool RunUntilStop(CDebugger& debugger, SDebugStopInfo& stop) {
    std::string message;
    for (int i = 0; i < 10000; ++i) {
        const bool wait = debugger.RunSlice(message);
        if (debugger.TakeStop(stop))
            return true;
        if (wait && !debugger.GetKernel().HasEvents())
            return false;
    }
    ADD_FAILURE() << "the program neither stopped nor waited";
    return false;
}

TEST_F(DebuggerTest, RunsWithChecksStopWhereSingleStepsSayTheyMust) {
    // The reference: the program one step at a time, with the heads and the watched ranges
    // after every step.
    const std::vector<std::pair<uint32_t, uint32_t>> ranges = {
        {0x400, 4},  {0x404, 4}, {0x500, 8},     {0x7FFFFC1C, 4},
        {0x7FF8, 8}, {0x608, 8}, {0x7FFFFC14, 4}};
    Boot(kEveryPath);
    ASSERT_GE(Label("far"), machine->Memory().GetSize() - 25u); // past the chains' limit
    std::vector<uint32_t> heads;
    std::vector<std::vector<std::vector<uint8_t>>> after;
    const auto rangesNow = [&] {
        std::vector<std::vector<uint8_t>> bytes(ranges.size());
        for (size_t r = 0; r < ranges.size(); ++r)
            EXPECT_TRUE(debugger->ReadBytes(ranges[r].first, ranges[r].second, bytes[r]));
        return bytes;
    };
    const std::vector<std::vector<uint8_t>> atBoot = rangesNow();
    while (IP() != Label("idle") && heads.size() < 1000) {
        heads.push_back(IP());
        debugger->StepInto();
        ASSERT_EQ(Drive().kind, EDebugStop::Step);
        ASSERT_EQ(Count(), heads.size());
        after.push_back(rangesNow());
    }
    ASSERT_EQ(IP(), Label("idle"));

    // A breakpoint on every head, with the trace: the first arrival stops before it, with
    // the exact count and the heads before it, and after Continue the second arrival.
    std::vector<uint32_t> distinct = heads;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    for (const uint32_t head : distinct) {
        Boot(kEveryPath);
        debugger->SetTraceLength(5);
        std::string error;
        ASSERT_NE(debugger->AddBreakpoint(head, {}, error), 0);
        SDebugStopInfo stop;
        size_t from = 0;
        for (int arrival = 1; arrival <= 2; ++arrival) {
            const auto next = std::find(heads.begin() + from, heads.end(), head);
            if (next == heads.end()) {
                EXPECT_FALSE(RunUntilStop(*debugger, stop)) << head << " arrival " << arrival;
                break;
            }
            const auto index = static_cast<size_t>(next - heads.begin());
            ASSERT_TRUE(RunUntilStop(*debugger, stop)) << head;
            EXPECT_EQ(stop.kind, EDebugStop::Break) << head;
            EXPECT_EQ(IP(), head);
            EXPECT_EQ(Count(), index) << head << " arrival " << arrival;
            const size_t traced = std::min<size_t>(index, 5);
            EXPECT_EQ(debugger->GetTrace(), std::vector<uint32_t>(next - traced, next)) << head;
            from = index + 1;
            debugger->Continue();
        }
    }

    // Watchpoints: all ranges at once (more words than the checks compare without a
    // loop), and each alone with the trace; every stop right after the instruction that
    // changed a range, with that instruction's head and the first range it changed.
    std::vector<std::vector<size_t>> sets = {{0, 1, 2, 3, 4, 5, 6}};
    for (size_t r = 0; r < ranges.size(); ++r)
        sets.push_back({r});
    for (const std::vector<size_t>& set : sets) {
        Boot(kEveryPath);
        debugger->SetTraceLength(set.size() == 1 ? 16 : 0);
        std::vector<int> ids;
        for (const size_t r : set)
            ids.push_back(Watch(ranges[r].first, ranges[r].second));
        std::vector<std::vector<uint8_t>> seen = atBoot;
        for (size_t k = 0; k < heads.size(); ++k) {
            int first = 0;
            for (size_t i = 0; i < set.size(); ++i) {
                if (after[k][set[i]] != seen[set[i]] && first == 0)
                    first = ids[i];
                seen[set[i]] = after[k][set[i]];
            }
            if (first == 0)
                continue;
            SDebugStopInfo stop;
            ASSERT_TRUE(RunUntilStop(*debugger, stop)) << "step " << k;
            EXPECT_EQ(stop.kind, EDebugStop::Watch);
            EXPECT_EQ(stop.address, heads[k]) << "step " << k;
            EXPECT_EQ(stop.id, first) << "step " << k;
            EXPECT_EQ(Count(), k + 1);
            EXPECT_EQ(IP(), k + 1 < heads.size() ? heads[k + 1] : Label("idle"));
            debugger->Continue();
        }
        SDebugStopInfo stop;
        EXPECT_FALSE(RunUntilStop(*debugger, stop)) << stop.address;
    }
}

} // namespace
