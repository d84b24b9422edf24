#include "debug/Debugger.h"

#include "core/Kernel.h"
#include "debug/HeadWrites.h"
#include "debug/MachineBytes.h"
#include "isa/OpcodeMap.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <utility>

namespace {

constexpr size_t kFilterMask = 4095;

// The family of the instruction whose head is at an absolute address (Invalid when none).
EFamily FamilyAt(const CMemory& memory, uint32_t address) {
    const uint8_t* head = MachineBytes(memory, address, 2);
    if (!head || HeadCategory(head[0]) >= kOpcodeCategories)
        return EFamily::Invalid;
    return GetOpcodeInfo(HeadCategory(head[0]), head[1]).family;
}

// The family of the instruction whose head word (head byte | code << 8) this is.
EFamily FamilyOfWord(uint32_t word) {
    const uint32_t category = HeadCategory(word & 0xFF);
    return category < kOpcodeCategories ? GetOpcodeInfo(category, word >> 8).family
                                        : EFamily::Invalid;
}

bool CallsOrReturns(EFamily family) {
    return family == EFamily::Call || family == EFamily::Return;
}

// Whether n bytes are equal: a few word compares for the short ranges watchpoints have.
inline bool SameBytes(const uint8_t* a, const uint8_t* b, uint32_t n) {
    uint32_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t x, y;
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        if (x != y)
            return false;
    }
    for (; i < n; ++i)
        if (a[i] != b[i])
            return false;
    return true;
}

inline uint64_t LoadWord(const uint8_t* p) {
    uint64_t value;
    std::memcpy(&value, p, 8);
    return value;
}

} // namespace

CDebugger::CDebugger(CKernel& kernel) : kernel(kernel), attachCount(kernel.GetInstructionCount()) {
    SetTraceLength(kDefaultTraceLength);
}

CMemory& CDebugger::GetMemory() {
    return kernel.GetMemory();
}

const CMemory& CDebugger::GetMemory() const {
    return const_cast<CKernel&>(kernel).GetMemory();
}

// --- Symbols and addresses ---------------------------------------------------------------

bool CDebugger::ResolveAddress(const std::string& where, uint32_t& address,
                               std::string& error) const {
    if (const auto symbol = symbols.Find(where)) {
        address = static_cast<uint32_t>(*symbol);
        return true;
    }
    SDebugValue value;
    if (!Evaluate(where, value, error))
        return false;
    if (value.isFloat || value.integer < 0 || value.integer > UINT32_MAX) {
        error = "\"" + where + "\" is not an address";
        return false;
    }
    address = static_cast<uint32_t>(value.integer);
    return true;
}

std::string CDebugger::DescribeAddress(uint32_t address) const {
    const CSymbolFile::SSymbol* label = symbols.LabelAtOrBelow(address);
    if (!label)
        return {};
    const uint32_t offset = address - static_cast<uint32_t>(label->value);
    if (offset == 0)
        return label->name;
    char text[16];
    std::snprintf(text, sizeof text, "+0x%x", offset);
    return label->name + text;
}

// --- Breakpoints -------------------------------------------------------------------------

int CDebugger::AddBreakpoint(uint32_t address, const std::string& condition, std::string& error) {
    SBreakpoint breakpoint;
    breakpoint.address = address;
    if (!condition.empty() && !breakpoint.condition.Parse(condition, error))
        return 0;
    breakpoint.id = nextBreakpoint++;
    breakpoints.push_back(std::move(breakpoint));
    RebuildBreakpointFilter();
    return breakpoints.back().id;
}

bool CDebugger::RemoveBreakpoint(int id) {
    const auto it = std::find_if(breakpoints.begin(), breakpoints.end(),
                                 [id](const SBreakpoint& b) { return b.id == id; });
    if (it == breakpoints.end())
        return false;
    breakpoints.erase(it);
    RebuildBreakpointFilter();
    return true;
}

bool CDebugger::EnableBreakpoint(int id, bool enabled) {
    for (SBreakpoint& breakpoint : breakpoints) {
        if (breakpoint.id == id) {
            breakpoint.enabled = enabled;
            RebuildBreakpointFilter();
            return true;
        }
    }
    return false;
}

bool CDebugger::SetIgnoreCount(int id, uint64_t count) {
    for (SBreakpoint& breakpoint : breakpoints) {
        if (breakpoint.id == id) {
            breakpoint.ignoreCount = count;
            return true;
        }
    }
    return false;
}

void CDebugger::ToggleBreakpoint(uint32_t address) {
    const auto removed = std::erase_if(
        breakpoints, [address](const SBreakpoint& b) { return b.address == address; });
    if (removed == 0) {
        std::string unused;
        AddBreakpoint(address, {}, unused);
    }
    RebuildBreakpointFilter();
}

void CDebugger::RebuildBreakpointFilter() {
    breakpointFilter.fill(0);
    enabledBreakpoints = 0;
    for (const SBreakpoint& breakpoint : breakpoints) {
        if (!breakpoint.enabled)
            continue;
        uint8_t& slot = breakpointFilter[breakpoint.address & kFilterMask];
        slot = static_cast<uint8_t>(std::min(slot + 1, 255));
        ++enabledBreakpoints;
    }
}

bool CDebugger::BreakpointHit(uint32_t ip) {
    for (SBreakpoint& breakpoint : breakpoints) {
        if (!breakpoint.enabled || breakpoint.address != ip)
            continue;
        std::string error;
        if (!breakpoint.condition.IsEmpty()) {
            SDebugValue value;
            // A condition that cannot be evaluated stops the machine, with the reason.
            if (breakpoint.condition.Evaluate(GetMemory(), symbols, value, error) &&
                !value.IsTrue())
                continue;
        }
        if (++breakpoint.hits <= breakpoint.ignoreCount)
            continue;
        Stop(EDebugStop::Break, ip, breakpoint.id);
        if (!error.empty())
            lastStop.message = "condition " + breakpoint.condition.GetText() + ": " + error;
        return true;
    }
    return false;
}

// --- Watchpoints -------------------------------------------------------------------------

int CDebugger::AddWatchpoint(uint32_t address, uint32_t length, std::string& error,
                             EWatchKind kind) {
    const uint8_t* bytes = MachineBytes(GetMemory(), address, length);
    if (!bytes) {
        char text[96];
        std::snprintf(text, sizeof text,
                      "%u bytes from 0x%08x do not lie in data memory or the register block",
                      length, address);
        error = text;
        return 0;
    }
    SWatchpoint watchpoint;
    watchpoint.id = nextWatchpoint++;
    watchpoint.address = address;
    watchpoint.length = length;
    watchpoint.kind = kind;
    watchpoint.bytes.assign(bytes, bytes + length);
    watchpoint.live = bytes;
    watchpoints.push_back(std::move(watchpoint));
    ++enabledWatchpoints;
    watchWordsBound = false;
    return watchpoints.back().id;
}

bool CDebugger::RemoveWatchpoint(int id) {
    const auto it = std::find_if(watchpoints.begin(), watchpoints.end(),
                                 [id](const SWatchpoint& w) { return w.id == id; });
    if (it == watchpoints.end())
        return false;
    enabledWatchpoints -= it->enabled ? 1 : 0;
    watchpoints.erase(it);
    watchWordsBound = false;
    return true;
}

bool CDebugger::EnableWatchpoint(int id, bool enabled) {
    for (SWatchpoint& watchpoint : watchpoints) {
        if (watchpoint.id != id)
            continue;
        if (watchpoint.enabled != enabled)
            enabledWatchpoints += enabled ? 1 : -1;
        watchpoint.enabled = enabled;
        RefreshWatchpoints();
        return true;
    }
    return false;
}

void CDebugger::RefreshWatchpoints() {
    watchWordsBound = false;
    for (SWatchpoint& watchpoint : watchpoints) {
        const uint8_t* bytes = MachineBytes(GetMemory(), watchpoint.address, watchpoint.length);
        if (bytes)
            std::memcpy(watchpoint.bytes.data(), bytes, watchpoint.length);
    }
}

// Where the watched bytes live now (the machine's memory may have been replaced since the
// last slice), and the words that the checks compare: 8 bytes from each watched byte on,
// with the bytes beyond the range masked off. Both areas of the machine have spare bytes
// behind them, so the last word of a range ending there can be read whole. With them, the
// head table that a checked slice runs (which also depends on the trace).
void CDebugger::RebindWatchWords() {
    const CMemory& memory = GetMemory();
    watchWordsBound = true;
    boundData = memory.GetData();
    boundSize = memory.GetSize();
    watchWords.clear();
    watchesRegisters = false;
    for (SWatchpoint& watchpoint : watchpoints) {
        watchpoint.live = MachineBytes(GetMemory(), watchpoint.address, watchpoint.length);
        if (!watchpoint.enabled || !watchpoint.live || watchpoint.kind == EWatchKind::Read)
            continue;
        watchesRegisters = watchesRegisters || watchpoint.address >= kRegisterBlockAddress;
        for (uint32_t offset = 0; offset < watchpoint.length; offset += 8) {
            const uint32_t count = std::min<uint32_t>(8, watchpoint.length - offset);
            uint8_t seen[8];
            uint8_t mask[8] = {};
            std::memcpy(seen, watchpoint.live + offset, 8);
            std::memcpy(seen, watchpoint.bytes.data() + offset, count);
            std::memset(mask, 0xFF, count);
            watchWords.push_back({watchpoint.live + offset, LoadWord(seen), LoadWord(mask)});
        }
    }
    std::copy_n(watchWords.begin(), std::min<size_t>(watchWords.size(), kFewWatchWords),
                fewWatchWords.begin());
    checkedHeads = CheckedHeadTable(watchWords.size(), traceLength > 0, watchesRegisters, false);
    countingHeads = nullptr; // built when a step over or out needs it
    watchesReads = WatchesReads();
    BindReadWatch();
}

// The changed bits of the watch words: `Words` of them, or as many as there are.
template <int Words>
inline uint64_t CDebugger::WatchWordsChanges() const {
    const auto differs = [](const SWatchWord& word) {
        return (LoadWord(word.live) ^ word.seen) & word.mask;
    };
    uint64_t changed = 0;
    if constexpr (Words == kManyWatchWords) {
        for (const SWatchWord& word : watchWords)
            changed |= differs(word);
    } else {
        const SWatchWord* words = fewWatchWords.data();
        [&]<size_t... I>(std::index_sequence<I...>) {
            ((changed |= differs(words[I])), ...);
        }
        (std::make_index_sequence<Words>());
    }
    return changed;
}

bool CDebugger::WatchpointsChanged() const {
    return WatchWordsChanges<kManyWatchWords>() != 0;
}

void CDebugger::WatchpointHit(uint32_t head) {
    Stop(EDebugStop::Watch, head, TakeWatchChanges(true));
}

int CDebugger::TakeWatchChanges(bool countHits) {
    watchWordsBound = false;
    int first = 0;
    for (SWatchpoint& watchpoint : watchpoints) {
        if (!watchpoint.enabled || !watchpoint.live || watchpoint.kind == EWatchKind::Read ||
            SameBytes(watchpoint.live, watchpoint.bytes.data(), watchpoint.length))
            continue;
        // Every changed range takes its new bytes, so one write is reported once.
        std::memcpy(watchpoint.bytes.data(), watchpoint.live, watchpoint.length);
        if (countHits)
            ++watchpoint.hits;
        if (first == 0)
            first = watchpoint.id;
    }
    return first;
}

// --- Run control -------------------------------------------------------------------------

void CDebugger::Pause() {
    if (!paused)
        Stop(EDebugStop::Pause, kernel.GetIP());
}

void CDebugger::Resume(EMode next) {
    // The instruction at a breakpoint where the machine paused runs when it resumes; a
    // machine paused before its first instruction still breaks there, unless that very
    // breakpoint paused it.
    skipBreakpointOnce = paused && (kernel.GetInstructionCount() != attachCount ||
                                    lastStop.kind == EDebugStop::Break);
    paused = false;
    mode = next;
    callDepth = 0;
    RefreshWatchpoints();
}

void CDebugger::Continue() {
    Resume(EMode::Run);
}

void CDebugger::StepInto() {
    Resume(EMode::StepInto);
}

void CDebugger::StepOver() {
    Resume(EMode::StepOver);
}

void CDebugger::StepOut() {
    Resume(EMode::StepOut);
}

void CDebugger::RunTo(uint32_t address) {
    Resume(EMode::RunTo);
    runToAddress = address;
}

void CDebugger::Stop(EDebugStop kind, uint32_t address, int id) {
    paused = true;
    mode = EMode::Run;
    lastStop = {kind, address, id, {}, false};
    stopPending = true;
}

bool CDebugger::TakeStop(SDebugStopInfo& stop) {
    if (!stopPending)
        return false;
    stopPending = false;
    stop = lastStop;
    return true;
}

bool CDebugger::NeedsChecks() const {
    return mode != EMode::Run || enabledBreakpoints > 0 || enabledWatchpoints > 0 ||
           traceLength > 0;
}

bool CDebugger::RunSlice(std::string& message) {
    bool result;
    if (paused || !kernel.IsRunning())
        result = kernel.EndSlice(true, message);
    else if (history && history->IsInPast() && !history->ReachPresent())
        result = PastSlice(message);
    else {
        if (history)
            history->BeforeSlice();
        result = NeedsChecks() ? RunCheckedSlice(message) : kernel.RunSlice(message);
    }
    if (!kernel.IsRunning() && !faultReported) {
        faultReported = true;
        uint32_t head = 0;
        const bool known = kernel.GetFaultHead(head);
        Stop(known ? EDebugStop::Fault : EDebugStop::Finished, known ? head : kernel.GetIP());
        lastStop.message = message;
        if (known && moveIpToFault)
            kernel.SetIP(head);
    }
    return result;
}

bool CDebugger::RunCheckedSlice(std::string& message) {
    uint32_t ip = kernel.GetIP();
    uint32_t executed = 0;
    // The watch words bound here serve the whole slice; whether the chains may run depends
    // on them (read watchpoints see the exact path only, one instruction at a time).
    BindWatchWords();
    const bool ended = ChecksInChains() ? CheckedSlice(ip, executed) : SteppedSlice(ip, executed);
    return kernel.EndSteppedSlice(ip, executed, ended, message) || paused;
}

// Whether the slice runs the kernel's chains with the checks: a run, a run to an address (a
// breakpoint there), a step out, and a step over once it is inside the call (CALL and RET
// then run alone and are counted). A step into, the first instruction of a step over and
// read watchpoints take one instruction at a time.
bool CDebugger::ChecksInChains() const {
    if (watchesReads)
        return false;
    return mode == EMode::Run || mode == EMode::RunTo || mode == EMode::StepOut ||
           (mode == EMode::StepOver && callDepth > 0);
}

// A slice that runs with breakpoints, watchpoints or the trace: the kernel's own chains,
// with every head they take running CheckedHead first (a head table whose entries are all
// that one function). The loop checks what the chains leave to it: the instruction that
// ends a chain, and a head that starts one on the exact path near the end of data memory.
bool CDebugger::CheckedSlice(uint32_t& ip, uint32_t& executed) {
    const bool countsCalls = mode == EMode::StepOver || mode == EMode::StepOut;
    if (countsCalls && !countingHeads)
        countingHeads =
            CheckedHeadTable(watchWords.size(), traceLength > 0, watchesRegisters, true);
    kernel.BeginSteppedSlice(countsCalls ? countingHeads : checkedHeads, this);
    formHeads = kernel.GetHeadTable();
    const uint32_t chainLimit = kernel.GetFastView().instructionLimit;
    skipArmed = skipBreakpointOnce;
    skipHead = ip;
    skipBreakpointOnce = false;
    // What changed since the last slice is that last instruction's.
    lastWrite = kWroteAnything;
    // The address a run goes to is checked as a breakpoint's (BreakBefore).
    uint8_t* const runToSlot =
        mode == EMode::RunTo ? &breakpointFilter[runToAddress & kFilterMask] : nullptr;
    const uint8_t runToSlotWas = runToSlot ? *runToSlot : 0;
    if (runToSlot)
        *runToSlot = std::max<uint8_t>(runToSlotWas, 1);
    uint32_t budget = sliceBudget;
    bool ended = false;
    while (budget > 0 && !ended) {
        if (ip >= chainLimit) [[unlikely]] {
            const ENearEnd next = NearEndHead(ip, budget, ended, countsCalls);
            if (next == ENearEnd::Stopped)
                break;
            if (next == ENearEnd::Ran)
                continue;
        }
        const uint64_t result = kernel.RunChain(ip, budget);
        skipArmed = false;
        ip = static_cast<uint32_t>(result);
        budget = BudgetOf(result);
        ended = (result & kSliceEnds) != 0;
        if (paused || !kernel.IsRunning())
            break; // stopped before an instruction, or failed (RunSlice reports that)
        if (MayHaveChangedWatched() && WatchpointsChanged()) {
            WatchpointHit(lastHead);
            break;
        }
    }
    if (runToSlot)
        *runToSlot = runToSlotWas;
    executed = sliceBudget - budget;
    return ended || paused || !kernel.IsRunning();
}

// A head near the end of data memory, which the chains leave to the slice loop: the checks
// before it, and in a step over or out a CALL or RET runs here alone, as CountedCallHead
// runs those of the chains.
CDebugger::ENearEnd CDebugger::NearEndHead(uint32_t& ip, uint32_t& budget, bool& ended,
                                           bool countsCalls) {
    if (StopsBefore(ip))
        return ENearEnd::Stopped;
    NoteExecuted(ip);
    const EFamily family = countsCalls ? FamilyAt(GetMemory(), ip) : EFamily::Invalid;
    if (!CallsOrReturns(family))
        return ENearEnd::Chain;
    const uint32_t head = ip;
    const uint32_t spBefore = kernel.GetSP();
    const uint64_t result = kernel.StepAt(ip);
    skipArmed = false;
    ip = static_cast<uint32_t>(result);
    --budget;
    ended = (result & kSliceEnds) != 0;
    return CountedStepStops(head, family, spBefore, ip) ? ENearEnd::Stopped : ENearEnd::Ran;
}

// A table for each count of watch words up to a few, and for more, with and without the
// trace, and with watched register bytes or without; each is built when first used. Without
// watched register bytes an instruction that writes one register through a direct field
// leaves the watched words as they were, as do the jumps.
template <int Words, bool Trace, bool RegistersWatched, bool CountsCalls>
const FastHandler* CDebugger::CheckedHeadTable() {
    static const auto table = [] {
        std::array<FastHandler, CKernel::kHeadWords> heads;
        if constexpr (Words == 0) {
            heads.fill(&CDebugger::CheckedHead<0, Trace, kWritesAnything>);
        } else {
            static constexpr auto forms = []<size_t... W>(std::index_sequence<W...>) {
                return std::array<FastHandler, sizeof...(W)>{
                    &CDebugger::CheckedHead<Words, Trace, static_cast<int>(W)>...};
            }
            (std::make_index_sequence<kLongestWriteOffset + 1>());
            for (uint32_t word = 0; word < CKernel::kHeadWords; ++word) {
                const SHeadWrites writes = DescribeHeadWrites(word);
                int form = kWritesAnything;
                if (writes.kind == EHeadWrites::Nothing)
                    form = kWritesNothing;
                else if (writes.kind == EHeadWrites::DirectOperand && !RegistersWatched)
                    form = static_cast<int>(writes.fieldOffset);
                heads[word] = forms[form];
            }
        }
        if constexpr (CountsCalls) {
            for (uint32_t word = 0; word < CKernel::kHeadWords; ++word)
                if (CallsOrReturns(FamilyOfWord(word)))
                    heads[word] = &CDebugger::CountedCallHead;
        }
        return heads;
    }();
    return table.data();
}

const FastHandler* CDebugger::CheckedHeadTable(size_t words, bool trace, bool registersWatched,
                                               bool countsCalls) {
    using Table = const FastHandler* (*)();
    static constexpr auto tables = []<size_t... I>(std::index_sequence<I...>) {
        // Index: trace * 4 + registers watched * 2 + counts calls, then the watch words.
        constexpr auto row = []<bool Trace, bool Registers, bool Counts>() {
            return std::array<Table, kFewWatchWords + 2>{
                &CheckedHeadTable<0, Trace, Registers, Counts>,
                &CheckedHeadTable<1, Trace, Registers, Counts>,
                &CheckedHeadTable<2, Trace, Registers, Counts>,
                &CheckedHeadTable<3, Trace, Registers, Counts>,
                &CheckedHeadTable<4, Trace, Registers, Counts>,
                &CheckedHeadTable<kManyWatchWords, Trace, Registers, Counts>};
        };
        return std::array<std::array<Table, kFewWatchWords + 2>, sizeof...(I)>{
            row.template operator()<(I >> 2) != 0, ((I >> 1) & 1) != 0, (I & 1) != 0>()...};
    }
    (std::make_index_sequence<8>());
    static_assert(kFewWatchWords == 4);
    return tables[trace * 4 + registersWatched * 2 + countsCalls]
                 [std::min<size_t>(words, kFewWatchWords + 1)]();
}

// What the instruction at ip (wholly in data memory) may write (see lastWrite): nothing, any
// byte, or the value at the address in its direct field at offset Writes.
template <int Writes>
inline uint32_t CDebugger::WrittenAddress(const SFastView& view, uint32_t ip) {
    if constexpr (Writes == kWritesNothing) {
        return kRegisterBlockAddress;
    } else if constexpr (Writes == kWritesAnything) {
        return kWroteAnything;
    } else {
        uint32_t address;
        std::memcpy(&address, view.data + ip + Writes, 4);
        return address;
    }
}

// Before each instruction of a chain: the checks, then the instruction's own form, which
// goes on with the next head through this table again. The watched words are compared only
// where the previous instruction may have changed them. Most heads pass the checks without
// a call; the rest go to CheckedHeadSlowly.
template <int Words, bool Trace, int Writes>
uint64_t CDebugger::CheckedHead(CKernel& kernel, uint32_t ip, uint32_t word, uint32_t budget) {
    const SFastView& view = kernel.GetFastView();
    CDebugger& debugger = *static_cast<CDebugger*>(view.context);
    // One test for both: breakpoints near ip, or the bits of changed watched bytes.
    uint64_t stops = debugger.breakpointFilter[ip & kFilterMask];
    if constexpr (Words != 0) {
        if (debugger.MayHaveChangedWatched())
            stops |= debugger.WatchWordsChanges<Words>();
    }
    if (stops != 0) [[unlikely]]
        return CheckedHeadSlowly(kernel, ip, word, budget);
    debugger.NoteExecuted<Trace>(ip, WrittenAddress<Writes>(view, ip));
    return debugger.formHeads[word](kernel, ip, word, budget);
}

// The entry of CALL and RET heads in a step over or out: the instruction runs alone, so that
// the calls it enters or leaves are counted (no other instruction changes the count), and
// the chain goes on behind it unless that ends the step.
uint64_t CDebugger::CountedCallHead(CKernel& kernel, uint32_t ip, uint32_t word, uint32_t budget) {
    CDebugger& debugger = *static_cast<CDebugger*>(kernel.GetFastView().context);
    if (debugger.StopsBefore(ip))
        return SliceResult(ip, true, budget + 1);
    debugger.NoteExecuted(ip);
    const uint32_t spBefore = kernel.GetSP();
    // No budget left: the form returns right behind the instruction.
    const uint64_t result = debugger.formHeads[word](kernel, ip, word, 0);
    const uint32_t next = static_cast<uint32_t>(result);
    if (debugger.CountedStepStops(ip, FamilyOfWord(word), spBefore, next) ||
        (result & kSliceEnds) != 0)
        return SliceResult(next, true, budget);
    return ContinueSlice(kernel, kernel.GetFastView(), next, budget);
}

// After a CALL or RET that ran alone in a step over or out (SP was spBefore): whether the
// machine stopped there, as SteppedSlice stops: it failed, the instruction changed watched
// bytes, or the step is done.
bool CDebugger::CountedStepStops(uint32_t head, EFamily family, uint32_t spBefore, uint32_t next) {
    if (!kernel.IsRunning())
        return true;
    if (WatchpointsChanged()) {
        WatchpointHit(head);
        return true;
    }
    if (!StepFinished(family, spBefore))
        return false;
    Stop(EDebugStop::Step, next);
    return true;
}

// Takes the arguments of CheckedHead as they are, so that the checks pass them on untouched.
uint64_t CDebugger::CheckedHeadSlowly(CKernel& kernel, uint32_t ip, uint32_t word,
                                      uint32_t budget) {
    CDebugger& debugger = *static_cast<CDebugger*>(kernel.GetFastView().context);
    // A stop ends the chain before the instruction and gives back its share of the budget.
    if (debugger.StopsBefore(ip))
        return SliceResult(ip, true, budget + 1);
    debugger.NoteExecuted(ip);
    return debugger.formHeads[word](kernel, ip, word, budget);
}

// What the previous instruction wrote to watched bytes, then the breakpoints at ip.
bool CDebugger::StopsBefore(uint32_t ip) {
    if (WatchpointsChanged()) {
        WatchpointHit(lastHead);
        return true;
    }
    return breakpointFilter[ip & kFilterMask] != 0 && BreakBefore(ip);
}

bool CDebugger::BreakBefore(uint32_t ip) {
    if (skipArmed) {
        // The first instruction of the slice that resumed: it runs.
        skipArmed = false;
        if (ip == skipHead)
            return false;
    }
    if (mode == EMode::RunTo && ip == runToAddress) {
        Stop(EDebugStop::Step, ip);
        return true;
    }
    kernel.SetIP(ip); // a condition may read it
    return BreakpointHit(ip);
}

template <bool Trace>
inline void CDebugger::NoteExecuted(uint32_t ip, uint32_t written) {
    lastHead = ip;
    lastWrite = written;
    if constexpr (Trace)
        trace[traceNext++ & traceMask] = ip;
}

void CDebugger::NoteExecuted(uint32_t ip) {
    if (traceLength > 0)
        NoteExecuted<true>(ip);
    else
        NoteExecuted<false>(ip);
}

// The slice one instruction at a time, for the step modes, with IP in a local as on the
// fast path (the IP register is written before anything reads it: a condition, a stop, the
// slice's end).
bool CDebugger::SteppedSlice(uint32_t& ip, uint32_t& executed) {
    kernel.BeginSteppedSlice();
    const CMemory& memory = GetMemory();
    while (executed < sliceBudget) {
        if (skipBreakpointOnce) {
            skipBreakpointOnce = false;
        } else if (mode == EMode::RunTo && ip == runToAddress) {
            Stop(EDebugStop::Step, ip);
            return true;
        } else if (enabledBreakpoints > 0 && breakpointFilter[ip & kFilterMask] != 0) {
            kernel.SetIP(ip); // a condition may read it
            if (BreakpointHit(ip))
                return true;
        }
        NoteExecuted(ip);
        EFamily family = EFamily::Invalid;
        uint32_t spBefore = 0;
        if (mode == EMode::StepOver || mode == EMode::StepOut) {
            family = FamilyAt(memory, ip);
            spBefore = kernel.GetSP();
        }
        const uint32_t head = ip;
        const uint64_t result = StepOne(ip);
        ++executed;
        ip = static_cast<uint32_t>(result);
        if (!kernel.IsRunning())
            return true; // RunSlice reports the failure
        if (WatchHitAfter(head, enabledWatchpoints > 0 && WatchpointsChanged()))
            return true;
        if (mode != EMode::Run && mode != EMode::RunTo && StepFinished(family, spBefore)) {
            Stop(EDebugStop::Step, ip);
            return true;
        }
        if ((result & kSliceEnds) != 0)
            return true;
    }
    return false;
}

bool CDebugger::StepFinished(EFamily family, uint32_t spBefore) {
    if (mode == EMode::StepInto)
        return true;
    // A call was taken when it pushed its return address, a return when it popped one; the
    // stack pointer tells, whatever BASE the code in between set.
    const uint32_t sp = kernel.GetSP();
    if (family == EFamily::Call && sp == spBefore + 4)
        ++callDepth;
    else if (family == EFamily::Return && sp == spBefore - 4)
        --callDepth;
    return mode == EMode::StepOver ? callDepth <= 0 : callDepth < 0;
}

// --- Trace -------------------------------------------------------------------------------

void CDebugger::SetTraceLength(size_t length) {
    traceLength = length;
    watchWordsBound = false; // the checked slices' head table depends on it
    trace.assign(std::bit_ceil(std::max<size_t>(length, 1)), 0);
    traceMask = trace.size() - 1;
    traceNext = 0;
}

std::vector<uint32_t> CDebugger::GetTrace() const {
    const uint64_t count = std::min<uint64_t>(traceNext, traceLength);
    std::vector<uint32_t> heads;
    for (uint64_t i = traceNext - count; i != traceNext; ++i)
        heads.push_back(trace[i & traceMask]);
    return heads;
}

// --- Machine state -----------------------------------------------------------------------

bool CDebugger::ReadBytes(uint32_t address, uint32_t count, std::vector<uint8_t>& bytes) const {
    const uint8_t* p = MachineBytes(GetMemory(), address, count);
    if (!p)
        return false;
    bytes.assign(p, p + count);
    return true;
}

bool CDebugger::WriteBytes(uint32_t address, const std::vector<uint8_t>& bytes) {
    uint8_t* p = MachineBytes(GetMemory(), address, static_cast<uint32_t>(bytes.size()));
    if (!p)
        return false;
    std::memcpy(p, bytes.data(), bytes.size());
    HandChanged();
    return true;
}

bool CDebugger::Evaluate(const std::string& expression, SDebugValue& value,
                         std::string& error) const {
    CDebugExpression parsed;
    return parsed.Parse(expression, error) && parsed.Evaluate(GetMemory(), symbols, value, error);
}

bool CDebugger::Assign(const std::string& place, const std::string& expression,
                       std::string& error) {
    CDebugExpression target;
    SDebugPlace where;
    SDebugValue value;
    if (!target.Parse(place, error) || !target.EvaluatePlace(GetMemory(), symbols, where, error) ||
        !Evaluate(expression, value, error))
        return false;
    if (!CDebugExpression::WritePlace(GetMemory(), where, value)) {
        error = "the place lies outside the machine's memory";
        return false;
    }
    HandChanged();
    return true;
}

// A change made by hand is not the program's: watchpoints take it as seen, and the history
// starts again here (running the past again would not make it).
void CDebugger::HandChanged() {
    RefreshWatchpoints();
    if (history)
        history->Restart();
}

// --- Disassembly and the call stack ------------------------------------------------------

CDisassembler CDebugger::MemoryDisassembler() const {
    const CMemory& memory = GetMemory();
    SDisassemblerOptions options;
    options.comments = false;
    options.labels = false;
    return CDisassembler(
        std::span<const uint8_t>(memory.GetData(), static_cast<size_t>(memory.GetSize())), options);
}

SDebugLine CDebugger::Disassemble(uint32_t address) const {
    SDebugLine line;
    line.address = address;
    line.instruction = MemoryDisassembler().InstructionAt(address);
    if (const CSymbolFile::SSymbol* label = symbols.LabelAt(address))
        line.label = label->name;
    line.source = symbols.SourceOf(address);
    return line;
}

std::vector<SDebugLine> CDebugger::DisassembleFrom(uint32_t address, size_t count) const {
    std::vector<SDebugLine> lines;
    for (size_t i = 0; i < count; ++i) {
        lines.push_back(Disassemble(address));
        address += lines.back().instruction.length;
    }
    return lines;
}

std::vector<SCallFrame> CDebugger::GetCallStack(size_t maxFrames) const {
    // How far below SP the scan looks for return addresses.
    constexpr uint32_t kScanBytes = 64 * 1024;
    // A CALL is its head, a 4-byte target field (none when immediate) and, for the
    // conditional ones, a tested value of up to 8 bytes.
    constexpr uint32_t kShortestCall = 2, kLongestCall = 14;
    const CMemory& memory = GetMemory();
    const CDisassembler disassembler = MemoryDisassembler();
    const uint32_t ip = kernel.GetIP();
    std::vector<SCallFrame> frames{{ip, 0, DescribeAddress(ip)}};
    const uint32_t top = kernel.GetBASE() + kernel.GetSP();
    const uint32_t size = static_cast<uint32_t>(memory.GetSize());
    if (top > size)
        return frames;
    const uint32_t bottom = top > kScanBytes ? top - kScanBytes : 0;
    for (uint32_t slot = top; slot >= bottom + 4 && frames.size() < maxFrames;) {
        slot -= 1;
        if (slot + 4 > top)
            continue;
        uint32_t value;
        std::memcpy(&value, memory.GetData() + slot, 4);
        uint32_t callHead = 0;
        bool found = false;
        for (uint32_t length = kShortestCall; length <= kLongestCall && !found; ++length) {
            if (value < length || value > size)
                break;
            const SDisassembledInstruction call = disassembler.InstructionAt(value - length);
            found = call.valid && call.length == length &&
                    GetOpcodeMap()[call.index].family == EFamily::Call;
            callHead = value - length;
        }
        if (!found)
            continue;
        frames.push_back({callHead, slot, DescribeAddress(callHead)});
        slot = slot >= 3 ? slot - 3 : 0; // the next candidate ends below this one
    }
    return frames;
}
