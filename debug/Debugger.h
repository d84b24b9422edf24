// The debugger core that the front ends drive (tarquil-run's debugging options, the
// tarquil-dbg console, the window program's debugger window). It needs no window system.
//
// A front end attaches one CDebugger to the running kernel and calls the debugger's
// RunSlice wherever it called CKernel::RunSlice; everything else (events, timers, the run
// loop) stays as it is. While no breakpoint, watchpoint, trace or step is active the slice
// is the kernel's own (the interpreter's fast path, untouched). Otherwise the debugger checks
// between instructions, so a break cuts the slice exactly there and the instruction count
// stays exact: in the kernel's own chains of fast forms through a head table of its own
// (running, running to an address, stepping over or out), or one instruction at a time
// (stepping into, read watchpoints). A paused machine runs nothing and posts nothing: its
// slices only hand out pending messages.
//
// With a history (KeepHistory) the debugger also goes backwards: one instruction back, or
// back to the last breakpoint or watchpoint hit; the machine is then in its past, and running
// it forward repeats what it did (debug/MachineHistory.h).
//
// Addresses here are absolute (data memory from 0, the register block at 0x7FFFFC00); BASE
// is never added. A boot image loads at 0 with BASE 0, so its labels are absolute.
#pragma once

#include "core/Kernel.h"
#include "debug/DebugExpression.h"
#include "debug/MachineHistory.h"
#include "debug/ReadWatch.h"
#include "isa/OpcodeMap.h"
#include "tools/asm/SymbolFile.h"
#include "tools/dis/Disassembler.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CHostGate;
class CMachine;
class CMemory;

// Why the debugger paused the machine.
enum class EDebugStop {
    None,     // running (or never stopped)
    Pause,    // Pause() was called
    Break,    // at a breakpoint, before its instruction (IP = address)
    Watch,    // right after the instruction at `address` changed (or read) watched bytes
    Step,     // a step, step over, step out or run-to finished (IP = address)
    Fault,    // the machine stopped with `message`; `address` is the failing instruction
    Finished, // the machine had already stopped (not by an instruction)
    Oldest,   // going back found no hit: at the oldest instruction the history keeps
};

struct SDebugStopInfo {
    EDebugStop kind = EDebugStop::None;
    uint32_t address = 0;
    int id = 0;          // the breakpoint's or watchpoint's number
    std::string message; // Fault: the machine's message
    bool read = false;   // Watch: the instruction read the bytes (it changed none of them)
};

// What a watchpoint stops for: an instruction that changed one of its bytes, one that read
// one of them, or either.
enum class EWatchKind { Write, Read, Access };
// "write", "read" or "access".
const char* WatchKindName(EWatchKind kind);

struct SBreakpoint {
    int id = 0;
    uint32_t address = 0;
    CDebugExpression condition; // empty: always
    bool enabled = true;
    uint64_t hits = 0;        // times reached with the condition true
    uint64_t ignoreCount = 0; // hits to pass over before one stops the machine
};

struct SWatchpoint {
    int id = 0;
    uint32_t address = 0;
    uint32_t length = 1;
    EWatchKind kind = EWatchKind::Write;
    bool enabled = true;
    uint64_t hits = 0;
    std::vector<uint8_t> bytes;    // the watched bytes as last seen
    const uint8_t* live = nullptr; // where they are in the machine's memory
};

// One frame of the call stack: the innermost is where IP is.
struct SCallFrame {
    uint32_t address = 0;    // IP, or the head of the CALL that made the frame below
    uint32_t returnSlot = 0; // absolute address of the return address on the stack (0: IP)
    std::string function;    // "label+0x12" when the symbols know a label at or below it
};

// One disassembled line with what the symbols say about it.
struct SDebugLine {
    uint32_t address = 0;
    SDisassembledInstruction instruction;
    std::string label;  // a label at exactly this address
    std::string source; // "FILE:LINE"
};

class CDebugger {
public:
    static constexpr size_t kDefaultTraceLength = 256;

    explicit CDebugger(CKernel& kernel);

    // --- Symbols ----------------------------------------------------------------------
    void SetSymbols(CSymbolFile symbols) { this->symbols = std::move(symbols); }
    const CSymbolFile& GetSymbols() const { return symbols; }
    // An address given as a number (decimal or 0x-hex), a label, or an expression; false
    // with a reason.
    bool ResolveAddress(const std::string& where, uint32_t& address, std::string& error) const;
    // "label+0x12" for an address, or empty when no label lies at or below it.
    std::string DescribeAddress(uint32_t address) const;

    // --- Breakpoints (execution) ------------------------------------------------------
    // Adds a breakpoint and returns its number (from 1), or 0 with a reason for a
    // condition that does not parse.
    int AddBreakpoint(uint32_t address, const std::string& condition, std::string& error);
    bool RemoveBreakpoint(int id);
    bool EnableBreakpoint(int id, bool enabled);
    bool SetIgnoreCount(int id, uint64_t count);
    // Removes the breakpoints at the address, or adds an unconditional one (a margin click).
    void ToggleBreakpoint(uint32_t address);
    const std::vector<SBreakpoint>& GetBreakpoints() const { return breakpoints; }

    // --- Watchpoints (data written or read) -------------------------------------------
    // Watches `length` bytes from `address` (data memory or the register block): the
    // machine pauses right after an instruction that changed any of them (kind Write),
    // whether the instruction wrote them itself, as a block instruction, or through a system
    // call; or one that read any of them as data (Read: operands, the pointer of an indirect
    // one, the stack that POP and RET read, block sources, what a system call reads; not the
    // instruction stream, nor the implicit uses of SP, BASE and IP); or either (Access).
    // While a Read or Access watchpoint is enabled, instructions run one at a time on the
    // exact path. Returns the number, or 0 with a reason.
    int AddWatchpoint(uint32_t address, uint32_t length, std::string& error,
                      EWatchKind kind = EWatchKind::Write);
    bool RemoveWatchpoint(int id);
    bool EnableWatchpoint(int id, bool enabled);
    const std::vector<SWatchpoint>& GetWatchpoints() const { return watchpoints; }

    // --- Run control ------------------------------------------------------------------
    // Each of these resumes a paused machine (Pause stops a running one); the work happens
    // in the following RunSlice calls, and the host must wake its loop.
    void Pause();
    void Continue();
    void StepInto();
    // A taken CALL runs until it has returned (recursion included); any other instruction
    // is one step.
    void StepOver();
    // Runs until the current call has returned.
    void StepOut();
    // Runs until IP reaches the address (or something else stops the machine first).
    void RunTo(uint32_t address);
    bool IsPaused() const { return paused; }
    // True when a failed machine leaves IP at its failing instruction's head (the default;
    // the machine's own IP is then behind what that instruction had read).
    void SetMoveIpToFault(bool move) { moveIpToFault = move; }

    // The host loop's slice in place of CKernel::RunSlice, with the same meaning of the
    // result and the message. After a stop the machine is paused and the result is true.
    bool RunSlice(std::string& message);
    // The stop since the last call, once: true when the machine paused (or failed) since.
    bool TakeStop(SDebugStopInfo& stop);
    const SDebugStopInfo& GetLastStop() const { return lastStop; }

    // --- Stepping back ----------------------------------------------------------------
    // Keeps the machine's history from now on (snapshots in memory within the budget, and
    // what the machine takes from its host through `gate`, the platform it was assembled
    // with), so that it can go backwards.
    // `interval`: instructions between snapshots (0: a few hundred thousand, more for a
    // large memory).
    void KeepHistory(CMachine& machine, CHostGate& gate,
                     size_t budgetBytes = CMachineHistory::kDefaultBudget, uint64_t interval = 0);
    void DropHistory();
    bool HasHistory() const { return history != nullptr; }
    SHistoryFigures GetHistoryFigures() const;
    // Whether the machine is in its past (a step back took it there and it has not run up to
    // where it was again).
    bool IsInPast() const;
    // A paused (or failed) machine goes back one instruction: the stop is a step, before the
    // instruction that ran last. False with a reason (no history, running, the oldest point).
    bool StepBack(std::string& error);
    // Goes back to the last breakpoint or watchpoint hit before now (stopped there as when
    // running forward; ignore counts do not apply), or to the oldest instruction the history
    // keeps when there is none (EDebugStop::Oldest).
    bool ReverseContinue(std::string& error);

    // --- The trace of the last instructions -------------------------------------------
    // How many instruction heads the trace keeps (0: none, and no trace is recorded).
    void SetTraceLength(size_t length);
    // The heads of the last instructions executed while the debugger stepped, oldest first.
    std::vector<uint32_t> GetTrace() const;

    // --- Machine state ----------------------------------------------------------------
    CKernel& GetKernel() { return kernel; }
    const CKernel& GetKernel() const { return kernel; }
    CMemory& GetMemory();
    const CMemory& GetMemory() const;
    // Bytes at an absolute address; false when they leave data memory or the register block.
    bool ReadBytes(uint32_t address, uint32_t count, std::vector<uint8_t>& bytes) const;
    bool WriteBytes(uint32_t address, const std::vector<uint8_t>& bytes);
    // An expression's value (see DebugExpression.h).
    bool Evaluate(const std::string& expression, SDebugValue& value, std::string& error) const;
    // Stores the value of `expression` into `place` (a register or a memory operand).
    bool Assign(const std::string& place, const std::string& expression, std::string& error);

    // --- Disassembly and the call stack -----------------------------------------------
    // The instruction at an absolute address (the disassembler of tarquil-dis).
    SDebugLine Disassemble(uint32_t address) const;
    // `count` instructions from `address` on.
    std::vector<SDebugLine> DisassembleFrom(uint32_t address, size_t count) const;
    // Frames from IP outwards, read from the machine stack: below SP every dword that is
    // the address right behind a CALL instruction counts as a return address.
    std::vector<SCallFrame> GetCallStack(size_t maxFrames = 64) const;

private:
    enum class EMode { Run, StepInto, StepOver, StepOut, RunTo };

    // Watched bytes as the checks compare them: 8 bytes where they live, as last seen, and
    // which of them are watched.
    struct SWatchWord {
        const uint8_t* live;
        uint64_t seen;
        uint64_t mask;
    };
    // Up to this many watch words are compared without a loop, by a head table of their
    // own count; more take the table that loops (kManyWatchWords).
    static constexpr int kFewWatchWords = 4;
    static constexpr int kManyWatchWords = -1;
    // CheckedHead's `Writes` for an instruction that writes no byte of the machine, and for
    // one that may write any; from 2 on it is the offset of the direct field it writes.
    static constexpr int kWritesNothing = 0;
    static constexpr int kWritesAnything = 1;
    // For lastWrite: the instruction may have written any byte (0 is a data address).
    static constexpr uint32_t kWroteAnything = 0;
    // A breakpoint or watchpoint hit found while running the past again.
    struct SPastHit {
        uint64_t count = 0; // the instruction count where the machine stops for it
        EDebugStop kind = EDebugStop::Break;
        uint32_t address = 0;
        int id = 0;
        bool read = false;
    };

    void Resume(EMode next);
    bool RunCheckedSlice(std::string& message);
    bool PastSlice(std::string& message);
    bool CanGoBack(std::string& error) const;
    void Land(uint64_t target);
    void ReplayTo(uint64_t target, std::vector<SPastHit>* hits);
    int BreakpointAt(uint32_t ip) const;
    int TakeWatchChanges(bool countHits);
    void HandChanged();
    bool NeedsChecks() const;
    bool CheckedSlice(uint32_t& ip, uint32_t& executed);
    bool SteppedSlice(uint32_t& ip, uint32_t& executed);
    // The entry of a head word in a checked slice's head table. `Writes` tells what the
    // instruction may write (kWritesNothing, kWritesAnything, or the offset of the one direct
    // field it writes through, see debug/HeadWrites.h).
    template <int Words, bool Trace, int Writes>
    static uint64_t CheckedHead(CKernel& kernel, uint32_t ip, uint32_t word, uint32_t budget);
    template <int Writes>
    static uint32_t WrittenAddress(const SFastView& view, uint32_t ip);
    template <int Words, bool Trace, bool RegistersWatched, bool CountsCalls>
    static const FastHandler* CheckedHeadTable();
    static const FastHandler* CheckedHeadTable(size_t words, bool trace, bool registersWatched,
                                               bool countsCalls);
    static uint64_t CountedCallHead(CKernel& kernel, uint32_t ip, uint32_t word, uint32_t budget);
    bool CountedStepStops(uint32_t head, EFamily family, uint32_t spBefore, uint32_t next);
    bool ChecksInChains() const;
    // What the slice loop does after NearEndHead: run the chain from ip, go on (the head ran
    // alone), or end the slice.
    enum class ENearEnd { Chain, Ran, Stopped };
    [[gnu::noinline]] ENearEnd NearEndHead(uint32_t& ip, uint32_t& budget, bool& ended,
                                           bool countsCalls);
    template <int Words>
    uint64_t WatchWordsChanges() const;
    [[gnu::cold]] static uint64_t CheckedHeadSlowly(CKernel& kernel, uint32_t ip, uint32_t word,
                                                    uint32_t budget);
    bool StopsBefore(uint32_t ip);
    bool BreakBefore(uint32_t ip);
    template <bool Trace>
    void NoteExecuted(uint32_t ip, uint32_t written = kWroteAnything);
    void NoteExecuted(uint32_t ip);
    // Whether the last instruction may have changed watched bytes.
    bool MayHaveChangedWatched() const {
        return lastWrite - kRegisterBlockAddress >= kRegisterAreaSize;
    }
    // Binds the watch words again where the watchpoints or the memory changed.
    void BindWatchWords() {
        const CMemory& memory = kernel.GetMemory();
        if (!watchWordsBound || boundData != memory.GetData() || boundSize != memory.GetSize())
            [[unlikely]]
            RebindWatchWords();
    }
    void RebindWatchWords();
    // Read watchpoints (debug/ReadWatch.cpp).
    bool WatchesReads() const;
    void BindReadWatch();
    uint64_t StepOne(uint32_t ip);
    int TakeReadHits(bool countHits);
    bool WatchHitAfter(uint32_t head, bool changed);
    bool BreakpointHit(uint32_t ip);
    bool WatchpointsChanged() const;
    void WatchpointHit(uint32_t head);
    bool StepFinished(EFamily family, uint32_t spBefore);
    void Stop(EDebugStop kind, uint32_t address, int id = 0);
    void RefreshWatchpoints();
    void RebuildBreakpointFilter();
    CDisassembler MemoryDisassembler() const;

    CKernel& kernel;
    CSymbolFile symbols;
    std::vector<SBreakpoint> breakpoints;
    std::vector<SWatchpoint> watchpoints;
    int nextBreakpoint = 1;
    int nextWatchpoint = 1;
    // Counts of enabled breakpoints by the low bits of their address: a head whose slot is
    // zero has none, which is all most heads need to know.
    std::array<uint8_t, 4096> breakpointFilter{};
    size_t enabledBreakpoints = 0;
    size_t enabledWatchpoints = 0;

    // The state of a checked slice (CheckedSlice), which its head table's entries reach
    // through the kernel's view.
    // Where the last instruction wrote, as far as its head tells: an address in the register
    // area when it wrote no byte of data memory (kRegisterBlockAddress when it wrote nothing),
    // kWroteAnything when it may have written any. The watched words are compared after the
    // latter only (with watched register bytes, writing a register counts as the latter).
    uint32_t lastWrite = kWroteAnything;
    const FastHandler* formHeads = nullptr;                 // the kernel's own head table
    const FastHandler* checkedHeads = nullptr;              // the table that runs the checks
    const FastHandler* countingHeads = nullptr;             // the same with CALL and RET run alone
    std::vector<SWatchWord> watchWords;                     // the enabled watchpoints
    std::array<SWatchWord, kFewWatchWords> fewWatchWords{}; // the same, when that few
    CReadWatch readWatch;         // the enabled Read and Access watchpoints
    bool watchWordsBound = false; // and they are those of the memory below
    const uint8_t* boundData = nullptr;
    int32_t boundSize = 0;
    uint32_t lastHead = 0;         // the instruction that ran last (lastWrite: what it wrote)
    bool watchesRegisters = false; // an enabled watchpoint has bytes in the register block
    bool watchesReads = false;     // an enabled watchpoint watches reads (WatchesReads)
    uint32_t skipHead = 0;         // resuming at a breakpoint: its instruction runs
    bool skipArmed = false;

    bool paused = false;
    EMode mode = EMode::Run;
    bool skipBreakpointOnce = false; // resuming at a breakpoint: its instruction runs
    int64_t callDepth = 0;           // StepOver and StepOut: calls entered minus returned
    uint32_t runToAddress = 0;
    bool moveIpToFault = true;
    bool faultReported = false;
    uint64_t attachCount = 0; // the kernel's instruction count when the debugger attached

    SDebugStopInfo lastStop;
    bool stopPending = false;

    std::unique_ptr<CMachineHistory> history;
    // Instructions a checked slice may run (fewer in the past, up to the next noted event).
    uint32_t sliceBudget = kInstructionsPerSlice;

    // The heads of the last instructions run while checking, in a ring of a power of two
    // entries: traceNext counts them, traceLength of them are the trace.
    std::vector<uint32_t> trace{0};
    uint64_t traceMask = 0;
    uint64_t traceNext = 0;
    size_t traceLength = 0;
};
