// The machine's processor: decodes and dispatches instructions in slices, owns the event
// queue and the pending message for the user, serves system-call groups 1 and 7 and hands
// the device groups to their devices. Nothing here throws: every machine error ends in Fail,
// which stops the machine for good.
#pragma once

#include "abi/Encoding.h"
#include "abi/SystemCalls.h"
#include "core/Device.h"
#include "core/Event.h"
#include "core/Memory.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CKernel;
class CPlatform;
class CServiceGroup;

// One instruction handler: (kernel, mode A, mode B, field C, table parameter). Returns
// false to go on and true to end the slice (after an error, or when the program waits).
using InstructionHandler = bool (*)(CKernel& kernel, uint32_t modeA, uint32_t modeB,
                                    uint32_t fieldC, uint32_t parameter);

// The fast form of an instruction handler: the same instruction with its table parameter
// fixed, running on the fast path (isa/FastAccess.h) with IP held by the caller. It gets
// IP at the instruction's head, the two head bytes (head byte | code << 8) and the number of
// instructions that the slice still allows after this one. Unless the instruction ends the
// slice, it goes on with the next one itself (ContinueSlice), so a slice runs as a chain of
// jumps from form to form. The result tells the slice loop where the chain stopped
// (SliceResult).
using FastHandler = uint64_t (*)(CKernel& kernel, uint32_t ip, uint32_t word, uint32_t budget);

// The result of a chain: the IP behind its last instruction, whether that instruction ends
// the slice, and how many instructions the slice still allows.
inline constexpr uint64_t kSliceEnds = uint64_t{1} << 32;
inline constexpr uint64_t SliceResult(uint32_t ip, bool ended, uint32_t budget) {
    return ip | (ended ? kSliceEnds : 0) | uint64_t{budget} << 40;
}
inline constexpr uint32_t BudgetOf(uint64_t result) {
    return static_cast<uint32_t>(result >> 40);
}

inline constexpr size_t kDispatchEntries = 768;
inline constexpr size_t kEventQueueCapacity = 1024;
inline constexpr uint32_t kInstructionsPerSlice = 32;
// The longest instruction outside the block instructions: the head and three 8-byte fields.
inline constexpr uint32_t kLongestInstruction = 26;

// A fast form and the entry it stands for: the kernel uses it only for an entry with this
// very handler and parameter, so a table whose parameter was changed runs the handler,
// which checks the parameter. `byShape`, where a form has it, holds the same instruction
// specialised for the addressing modes of a few operand shapes (the instruction set's
// kShapes, which the head table maps each head to).
struct SFastForm {
    FastHandler run = nullptr;
    InstructionHandler handler = nullptr;
    uint32_t parameter = 0;
    const FastHandler* byShape = nullptr;
};

struct SDispatchEntry {
    InstructionHandler handler = nullptr;
    uint32_t parameter = 0;
    const SFastForm* fast = nullptr; // null: the handler runs on the exact path
};
using DispatchEntries = std::array<SDispatchEntry, kDispatchEntries>;

// The fast form that an entry may use: one made for this very handler and parameter.
inline const SFastForm* UsableForm(const SDispatchEntry& entry) {
    const SFastForm* fast = entry.fast;
    if (fast && fast->handler == entry.handler && fast->parameter == entry.parameter)
        return fast;
    return nullptr;
}

// What runs each of the 65536 head words (head byte | code << 8): the entry's fast form,
// specialised for the head's modes where it has that, or CKernel::RunHandler. The instruction
// set builds it with the entries (isa/Dispatch.h).
using HeadTable = std::shared_ptr<const FastHandler[]>;

// What the kernel is made from: the handler and parameter of each category * 256 + code,
// and the head table derived from them. Without a head table every instruction runs its
// entry's fast form for any modes, or its handler, one at a time.
struct SDispatchTable {
    DispatchEntries entries{};
    HeadTable heads;
};

// The part of the machine that the fast path reads on every access, taken at the start of
// each slice.
struct SFastView {
    uint8_t* data = nullptr;
    uint32_t size = 0;
    uint32_t headLimit = 0;        // a head at an IP below this lies wholly in data memory
    uint32_t instructionLimit = 0; // so does a whole instruction (at most 26 bytes) there
    uint8_t* registers = nullptr;
    const FastHandler* heads = nullptr; // the kernel's head table, or one that stands in for it
    void* context = nullptr;            // what the entries of a stand-in table need

    uint32_t LoadRegister(uint32_t offset) const {
        uint32_t value;
        std::memcpy(&value, registers + offset, 4);
        return value;
    }

    // A single value of n bytes at a relative address; false where the fast path ends. Only
    // the first byte is tested against the bound, as the memory does (the spare bytes take
    // what spills over). Register values must end below IP.
    bool Locate(uint32_t address, uint32_t n, uint8_t*& p) const {
        // Registers first: programs name them more often than anything else.
        const uint32_t offset = address - kRegisterBlockAddress;
        if (offset <= kRegisterIP - n) [[likely]] {
            p = registers + offset;
            return true;
        }
        if (offset < kRegisterAreaSize)
            return false; // IP, the bytes behind the block, or past them
        const uint32_t effective = address + LoadRegister(kRegisterBASE);
        if (effective >= size)
            return false;
        p = data + effective;
        return true;
    }

    // A range of count bytes at a relative address, as the memory's block operations check
    // it; register bytes must end below IP.
    bool LocateRange(uint32_t address, int32_t count, uint8_t*& p) const {
        if (count < 1)
            return false;
        const uint32_t n = static_cast<uint32_t>(count);
        const uint32_t offset = address - kRegisterBlockAddress;
        if (offset < kRegisterIP) {
            if (n > kRegisterIP - offset)
                return false;
            p = registers + offset;
            return true;
        }
        if (offset < kRegisterAreaSize)
            return false;
        const uint32_t effective = address + LoadRegister(kRegisterBASE);
        if (effective >= size || n > size - effective)
            return false;
        p = data + effective;
        return true;
    }

    // The relative address that a direct or indirect operand field names.
    bool FieldAddress(uint32_t mode, const uint8_t* field, uint32_t& address) const {
        std::memcpy(&address, field, 4);
        if (mode != kModeIndirect)
            return true;
        uint8_t* pointer;
        if (!Locate(address, 4, pointer))
            return false;
        std::memcpy(&address, pointer, 4);
        return true;
    }
};

// After an instruction that does not end the slice: the next one, while the slice allows
// it and the longest instruction would lie wholly in data memory there, so that the forms
// specialised for addressing modes need not test whether their fields do. The slice loop
// takes every other head (CKernel::Execute). Called last in every form, so that the call
// becomes a jump and a chain of at most 32 instructions does not grow the stack (unoptimised
// builds make real calls; the budget bounds their depth).
inline uint64_t ContinueSlice(CKernel& kernel, const SFastView& view, uint32_t ip,
                              uint32_t budget) {
    if (budget == 0 || ip >= view.instructionLimit) [[unlikely]]
        return SliceResult(ip, false, budget);
    uint16_t word;
    std::memcpy(&word, view.data + ip, 2);
    return view.heads[word](kernel, ip, word, budget - 1);
}

class CKernel : public CDevice {
public:
    // Head byte and code byte as the instruction stream holds them: every value.
    static constexpr size_t kHeadWords = 65536;

    // The table maps category * 256 + code to its handler (the instruction set builds it).
    CKernel(CPlatform& platform, const SDispatchTable& table);
    ~CKernel() override;

    // Reads -boot from the command line and Kernel.Priority from the machine configuration.
    bool Init(const qm::CINIFile& machineConfig, const qm::CINIFile& userSettings,
              const std::string& commandLine) override;
    uint32_t GetVersion() const override { return 0x01000300; }

    // The -boot scan of Init, on its own (used by Init and by hosts without settings files).
    bool ParseCommandLine(const std::string& commandLine);

    // Takes the memory from the machine and boots.
    void Attach();
    // Attaches to a memory directly and boots (for hosts and tests that build no full machine).
    void Attach(CMemory& memory);
    void Boot();

    // Runs up to 32 instructions. `message` receives the pending message (or becomes empty).
    // True when the host may wait for the next window message.
    bool RunSlice(std::string& message);
    // Executes one instruction; true when it ends the slice.
    bool Step();
    // Instructions that RunSlice has executed (begun) since the kernel was created.
    uint64_t GetInstructionCount() const { return instructionCount; }

    void Fail(const std::string& message);
    void MemoryError() { Fail("Memory error"); }
    // Why the machine stopped: the message of the last Fail, kept after the host showed it.
    const std::string& GetStopMessage() const { return stopMessage; }
    bool IsRunning() const { return running; }
    // The head of the instruction in hand, noted where the exact path takes over from the
    // fast path (which holds IP in a local and never writes it); only failures read it. So
    // the head of a failing instruction is known at no cost per instruction: every failure
    // is raised on the exact path.
    void NoteHead(uint32_t ip) {
        notedHead = ip;
        headNoted = true;
    }
    // After a Fail raised by an instruction: the address of that instruction's head. False
    // while the machine runs, and for a failure outside instructions (the boot).
    bool GetFaultHead(uint32_t& head) const {
        head = faultHead;
        return faultHeadKnown;
    }

    // --- Slices run in pieces (a debugger checking between instructions) -----------------
    // Such a slice starts as RunSlice does: with the fast path's view of the machine. A
    // stand-in head table, when given, takes every head of the slice's chains that lies
    // wholly in data memory (a debugger's checks, which go on with the entry of the kernel's
    // own table, GetHeadTable); its entries find `context` in the view.
    void BeginSteppedSlice(const FastHandler* heads = nullptr, void* context = nullptr) {
        RefreshFastView();
        executing = true;
        if (heads) {
            view.heads = heads;
            view.context = context;
        }
    }
    // Executes a chain of at most `budget` (>= 1) instructions from the head at ip, as
    // RunSlice does: the IP register is left stale (the caller holds IP), the result is a
    // chain's (SliceResult). A head at or above the view's instructionLimit runs on the
    // exact path, not through the view's head table. Only while running, between
    // BeginSteppedSlice and EndSteppedSlice.
    uint64_t RunChain(uint32_t ip, uint32_t budget) { return Execute(ip, budget); }
    // The instruction whose head is at ip alone.
    uint64_t StepAt(uint32_t ip) { return Execute(ip, 1); }
    // Ends such a slice after `executed` instructions with IP at ip: hands out the pending
    // message and returns what RunSlice would after a slice whose last instruction
    // returned `ended`.
    bool EndSteppedSlice(uint32_t ip, uint32_t executed, bool ended, std::string& message) {
        view.heads = headTable.get();
        view.context = nullptr;
        executing = false;
        SetIP(ip);
        instructionCount += executed;
        return EndSlice(ended, message);
    }
    // What runs each head word on the fast path (see headTable).
    const FastHandler* GetHeadTable() const { return headTable.get(); }
    // The end of a slice that ran nothing (a paused machine): the pending message only.
    bool EndSlice(bool ended, std::string& message) {
        message.clear();
        if (!pendingMessage.empty())
            message.swap(pendingMessage);
        return running ? ended : true;
    }
    void SetPendingMessage(std::string message) { pendingMessage = std::move(message); }

    int32_t GetBootSlot() const { return bootSlot; }
    void SetBootSlot(int32_t slot) { bootSlot = slot; }
    // The slot whose image the last boot loaded; -1 when no boot image was loaded.
    int32_t GetBootedSlot() const { return bootedSlot; }

    CMemory& GetMemory() { return *memory; }
    CPlatform& GetPlatform() { return platform; }

    // Device groups 2 to 6; machine assembly registers the devices it built.
    void SetServiceGroup(uint32_t group, CServiceGroup* service);
    // The SYS instruction.
    bool SystemCall();

    // --- Events -------------------------------------------------------------------------
    void PostActivityEvent(EActivity activity) { PostEvent(CEvent::Activity(activity)); }
    void PostTimerEvent(uint32_t timerId) { PostEvent(CEvent::Timer(timerId)); }
    void PostKeyEvent(uint32_t up, uint32_t virtualKey) { PostEvent(CEvent::Key(up, virtualKey)); }
    void PostCharEvent(uint32_t code) { PostEvent(CEvent::Char(code)); }
    void PostMouseMoveEvent(uint32_t flags, int32_t x, int32_t y) {
        PostEvent(CEvent::MouseMove(flags, x, y));
    }
    void PostMouseButtonEvent(EMouseButton button, EMouseAction action, uint32_t flags, int32_t x,
                              int32_t y) {
        PostEvent(CEvent::MouseButton(button, action, flags, x, y));
    }
    void PostMouseWheelEvent(uint32_t flags, int32_t x, int32_t y, float lines) {
        PostEvent(CEvent::MouseWheel(flags, x, y, lines));
    }
    void PostScreenEvent() { PostEvent(CEvent::Screen()); }
    void PostDiskInsertedEvent(uint32_t slot) { PostEvent(CEvent::DiskInserted(slot)); }
    void PostDiskEjectedEvent(uint32_t slot) { PostEvent(CEvent::DiskEjected(slot)); }
    // Queued only while running and while fewer than 1024 events wait.
    void PostEvent(const CEvent& event);

    // --- Saved machine states and recordings -----------------------------------------------
    // What the kernel holds beside the memory.
    struct SState {
        bool running = false;
        std::string pendingMessage;
        int32_t bootSlot = 0;
        uint64_t instructionCount = 0;
        std::vector<CEvent> events;
        // The host's counter frequency, once asked (the clock service asks only once).
        bool clockQueried = false;
        uint64_t counterFrequency = 0;
    };
    SState SaveState() const;
    // Takes over a saved state; the memory that holds the rest of it is attached already.
    void RestoreState(const SState& state);
    // Takes the memory from the machine without booting: a saved state follows.
    void AttachWithoutBoot();
    // Sees every event that the host posts between slices and the queue would accept, and
    // may hold it back (false: while a debugger runs the machine's past again, input comes
    // from what was noted, not from the host). Events that instructions post are not shown:
    // running the program again makes them again.
    using EventObserver = std::function<bool(const CEvent& event)>;
    void SetEventObserver(EventObserver observer) { eventObserver = std::move(observer); }
    // Whether instructions run at this moment (a host query now is the program's).
    bool IsExecuting() const { return executing; }

    bool HasEvents() const { return !events.empty(); }
    size_t GetEventCount() const { return events.size(); }
    // The waiting events, oldest first (for a debugger's view of the queue).
    const std::deque<CEvent>& GetEvents() const { return events; }
    // GETEVENT: writes the oldest event's record (or group 0 when none waits).
    bool TakeEvent();

    // --- Operand access (the instruction handlers' interface) ---------------------------
    uint32_t GetIP() const { return memory->GetIP(); }
    void SetIP(uint32_t ip) { memory->SetIP(ip); }
    uint32_t GetBASE() const { return memory->GetBASE(); }
    uint32_t GetSP() const { return memory->GetSP(); }
    void SetSP(uint32_t sp) { memory->SetSP(sp); }

    // Reads an operand of sizeof(T) bytes; `advance` consumes its field.
    template <typename T>
    bool ReadOperand(T& value, uint32_t mode, bool advance = true) {
        const uint32_t ip = GetIP();
        if (mode == kModeImmediate) {
            if (!memory->Read(ip, value, true))
                return false;
            if (advance)
                SetIP(ip + sizeof(T));
            return true;
        }
        uint32_t address;
        if (!FieldAddress(ip, mode, address, advance))
            return false;
        return memory->Read(address, value, false);
    }

    // Resolves a destination of n bytes to a relative address and consumes its field.
    bool GetOperandAddress(uint32_t& address, uint32_t mode, uint32_t n) {
        const uint32_t ip = GetIP();
        if (mode == kModeImmediate) {
            address = ip - GetBASE(); // a write then lands on the immediate field itself
            SetIP(ip + n);
            return true;
        }
        return FieldAddress(ip, mode, address, true);
    }

    template <typename T>
    bool WriteOperand(T value, uint32_t mode) {
        uint32_t address;
        return GetOperandAddress(address, mode, sizeof(T)) && memory->Write(address, value);
    }

    // A single value at a relative address.
    template <typename T>
    bool ReadMemory(uint32_t address, T& value) const {
        return memory->Read(address, value, false);
    }
    template <typename T>
    bool WriteMemory(uint32_t address, T value) {
        return memory->Write(address, value);
    }

    // A block operand of count bytes: a pointer to its bytes in place (valid until the next
    // write), its field consumed when `advance`. Null on a bad range or a count below 1.
    const uint8_t* LocateOperandBlock(int32_t count, uint32_t mode, bool advance = true);
    bool ReadOperandBlock(uint8_t* buffer, int32_t count, uint32_t mode, bool advance = true);

    // Blocks of count bytes at relative addresses, with the memory's checks.
    uint8_t* LocateBlock(uint32_t address, int32_t count) {
        return memory->GetPointer(address, count, false);
    }
    bool WriteBlock(uint32_t address, const uint8_t* bytes, int32_t count) {
        return memory->WriteBlock(address, bytes, count);
    }
    bool ClearBlock(uint32_t address, int32_t count) { return memory->Clear(address, count); }
    const uint8_t* GetRegisterBytes() const { return memory->GetRegisters(); }
    // Host bytes of [address, address + count) when each relative address in the range maps
    // to the byte behind the previous one: the range lies in one area and, in data memory,
    // does not run into the register block. Null otherwise (also for a bad range); the
    // element-wise instructions (FILL, SWAPB) then take each address on its own.
    uint8_t* LocateContiguous(uint32_t address, int64_t count) {
        if (!IsContiguous(address, count))
            return nullptr;
        return memory->GetPointer(address, static_cast<int32_t>(count), false);
    }
    static bool IsContiguous(uint32_t address, int64_t count) {
        if (count < 1 || count > INT32_MAX)
            return false;
        const int64_t start = static_cast<int32_t>(address);
        return start >= static_cast<int32_t>(kRegisterBlockAddress) ||
               start + count <= static_cast<int32_t>(kRegisterBlockAddress);
    }

    // The fallback handler of every free code.
    static bool InvalidOpcode(CKernel& kernel, uint32_t, uint32_t, uint32_t, uint32_t);
    // The run function of every head without a fast form: the entry's handler on the exact
    // path.
    static uint64_t RunHandler(CKernel& kernel, uint32_t ip, uint32_t word, uint32_t budget);
    // The entry of a head word: category * 256 + code, 768 and up for category 3.
    static uint32_t SlotIndex(uint32_t word) { return ((word & 0xC0) << 2) | (word >> 8); }

    const SFastView& GetFastView() const { return view; }

private:
    // One entry of the kernel's own table: index category * 256 + code, category 3 included.
    struct SSlot {
        FastHandler run;
        InstructionHandler handler;
        uint32_t parameter;
    };
    static constexpr size_t kSlots = 1024;

    // Runs a chain of at most `budget` (>= 1) instructions from ip. The IP register is not
    // updated.
    uint64_t Execute(uint32_t ip, uint32_t budget) {
        if (ip < view.instructionLimit) [[likely]] {
            uint16_t word;
            std::memcpy(&word, view.data + ip, 2);
            return view.heads[word](*this, ip, word, budget - 1);
        }
        return ExecuteNearEnd(ip, budget);
    }
    // A head where the instruction may run past the end of data memory, or outside it.
    uint64_t ExecuteNearEnd(uint32_t ip, uint32_t budget);
    // The head read of the exact path, for a head that does not lie wholly in data memory.
    bool FetchHead(uint32_t ip, uint32_t& word);
    static bool InvalidCategory(CKernel& kernel, uint32_t, uint32_t, uint32_t, uint32_t);
    void RefreshFastView();

    // Modes 2 and 3: the dword field at ip, and for mode 3 the pointer it names.
    bool FieldAddress(uint32_t ip, uint32_t mode, uint32_t& address, bool advance) {
        if (mode < kModeDirect)
            return false;
        if (!memory->Read(ip, address, true))
            return false;
        if (advance)
            SetIP(ip + 4);
        if (mode == kModeIndirect)
            return memory->Read(address, address, false);
        return true;
    }

    bool SystemServices(uint32_t function);
    bool MemoryServices(uint32_t function);
    bool CharacterServices();
    double TimeSeconds();
    void LoadBootImage(CDiskSlot& disk, uint32_t slot, int32_t length);

    CPlatform& platform;
    std::string pendingMessage;
    // Why the machine stopped (the message of its Fail), kept after the message was shown.
    std::string stopMessage;
    int32_t bootSlot = 0;
    int32_t bootedSlot = -1;
    bool running = false;
    uint64_t instructionCount = 0;
    uint32_t notedHead = 0;
    bool headNoted = false;
    uint32_t faultHead = 0;
    bool faultHeadKnown = false;
    CMemory* memory = nullptr;
    std::deque<CEvent> events;
    // True while instructions run (their events are not the host's).
    bool executing = false;
    EventObserver eventObserver;
    std::array<SSlot, kSlots> dispatchSlots;
    // What runs each head word (shared by the kernels made from one table); null for a table
    // without one.
    HeadTable headTable;
    SFastView view;
    std::array<CServiceGroup*, kServiceGroupSlots> serviceGroups{};
    // The performance counter's frequency, asked once (0: the host has none).
    bool clockQueried = false;
    uint64_t counterFrequency = 0;
};
