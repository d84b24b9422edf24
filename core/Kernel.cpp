#include "core/Kernel.h"

#include "core/DiskSlot.h"
#include "core/Machine.h"

CKernel::CKernel(CPlatform& platform, const SDispatchTable& table)
    : platform(platform), headTable(table.heads) {
    for (size_t i = 0; i < kSlots; ++i) {
        SSlot& slot = dispatchSlots[i];
        slot = {&CKernel::RunHandler, &CKernel::InvalidCategory, 0};
        if (i >= kDispatchEntries)
            continue;
        const SDispatchEntry& entry = table.entries[i];
        slot.handler = entry.handler ? entry.handler : &CKernel::InvalidOpcode;
        slot.parameter = entry.parameter;
        if (const SFastForm* fast = UsableForm(entry))
            slot.run = fast->run;
    }
}

CKernel::~CKernel() = default;

bool CKernel::InvalidOpcode(CKernel& kernel, uint32_t, uint32_t, uint32_t, uint32_t) {
    kernel.Fail("Invalid opcode");
    return true;
}

bool CKernel::InvalidCategory(CKernel& kernel, uint32_t, uint32_t, uint32_t, uint32_t) {
    kernel.Fail("Invalid opcode category");
    return true;
}

void CKernel::RefreshFastView() {
    view.data = memory->GetData();
    view.size = static_cast<uint32_t>(memory->GetSize());
    view.headLimit = view.size >= 2 ? view.size - 1 : 0;
    view.instructionLimit =
        view.size >= kLongestInstruction ? view.size - kLongestInstruction + 1 : 0;
    view.registers = memory->GetRegisters();
    view.heads = headTable.get();
    view.context = nullptr;
    // Without a head table no chain starts: the slice loop takes every head itself.
    if (!view.heads)
        view.instructionLimit = 0;
}

uint64_t CKernel::ExecuteNearEnd(uint32_t ip, uint32_t budget) {
    uint32_t word;
    if (ip < view.headLimit) {
        uint16_t bytes;
        std::memcpy(&bytes, view.data + ip, 2);
        word = bytes;
    } else {
        NoteHead(ip);
        if (!FetchHead(ip, word))
            return SliceResult(GetIP(), true, budget - 1);
    }
    // The slot's form for every mode (or the exact handler): it tests each field's bounds.
    return dispatchSlots[SlotIndex(word)].run(*this, ip, word, budget - 1);
}

bool CKernel::FetchHead(uint32_t ip, uint32_t& word) {
    // IP moves before each of the two head reads, so it has moved even when a read fails.
    uint8_t head;
    uint8_t code;
    SetIP(ip + 1);
    if (!memory->ReadByte(ip, head, true)) {
        MemoryError();
        return false;
    }
    SetIP(ip + 2);
    if (!memory->ReadByte(ip + 1, code, true)) {
        MemoryError();
        return false;
    }
    word = head | uint32_t{code} << 8;
    return true;
}

uint64_t CKernel::RunHandler(CKernel& kernel, uint32_t ip, uint32_t word, uint32_t budget) {
    const SSlot& slot = kernel.dispatchSlots[SlotIndex(word)];
    kernel.NoteHead(ip);
    kernel.SetIP(ip + 2);
    const uint32_t head = word & 0xFF;
    const bool ended =
        slot.handler(kernel, HeadModeA(head), HeadModeB(head), HeadFieldC(head), slot.parameter);
    if (ended)
        return SliceResult(kernel.GetIP(), true, budget);
    return ContinueSlice(kernel, kernel.view, kernel.GetIP(), budget);
}

bool CKernel::Step() {
    RefreshFastView();
    executing = true;
    const uint64_t result = Execute(GetIP(), 1);
    executing = false;
    SetIP(static_cast<uint32_t>(result));
    return (result & kSliceEnds) != 0;
}

bool CKernel::RunSlice(std::string& message) {
    bool ended = false;
    if (running) {
        RefreshFastView();
        // IP lives in a local for the whole slice; the register is written back at its end
        // (the exact path keeps it current itself). Each chain runs until an instruction ends
        // the slice, the budget of 32 is spent or a head lies near the end of data memory or
        // outside it; the loop then takes that head itself (ExecuteNearEnd) and goes on.
        uint32_t ip = GetIP();
        uint32_t budget = kInstructionsPerSlice;
        executing = true;
        while (budget > 0 && !ended) {
            const uint64_t result = Execute(ip, budget);
            ip = static_cast<uint32_t>(result);
            ended = (result & kSliceEnds) != 0;
            budget = BudgetOf(result);
        }
        executing = false;
        SetIP(ip);
        instructionCount += kInstructionsPerSlice - budget;
    }
    return EndSlice(ended, message);
}

void CKernel::Fail(const std::string& message) {
    // A failure while no instruction is in hand (the boot) has no head.
    faultHeadKnown = running && headNoted;
    faultHead = notedHead;
    running = false;
    events.clear();
    pendingMessage = message;
    stopMessage = message;
}

void CKernel::PostEvent(const CEvent& event) {
    if (!running || events.size() >= kEventQueueCapacity)
        return;
    if (eventObserver && !executing && !eventObserver(event))
        return;
    events.push_back(event);
}

bool CKernel::TakeEvent() {
    if (events.empty())
        return memory->WriteByte(kRegisterBlockAddress, 0);
    const CEvent event = events.front();
    events.pop_front();
    event.WriteRecord(*memory);
    return true;
}

const uint8_t* CKernel::LocateOperandBlock(int32_t count, uint32_t mode, bool advance) {
    const uint32_t ip = GetIP();
    if (mode == kModeImmediate) {
        const uint8_t* p = memory->GetPointer(ip, count, true);
        if (p && advance)
            SetIP(ip + static_cast<uint32_t>(count));
        return p;
    }
    uint32_t address;
    if (!FieldAddress(ip, mode, address, advance))
        return nullptr;
    return memory->GetPointer(address, count, false);
}

bool CKernel::ReadOperandBlock(uint8_t* buffer, int32_t count, uint32_t mode, bool advance) {
    const uint8_t* p = LocateOperandBlock(count, mode, advance);
    if (!p)
        return false;
    std::memmove(buffer, p, static_cast<size_t>(count));
    return true;
}

void CKernel::SetServiceGroup(uint32_t group, CServiceGroup* service) {
    if (group < serviceGroups.size())
        serviceGroups[group] = service;
}
