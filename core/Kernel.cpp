#include "core/Kernel.h"

#include "core/DiskSlot.h"
#include "core/Machine.h"

#include <mutex>

namespace {

// A fast form that a table entry may use: one made for this very handler and parameter.
const SFastForm* UsableForm(const SDispatchEntry& entry) {
    const SFastForm* fast = entry.fast;
    if (fast && fast->handler == entry.handler && fast->parameter == entry.parameter)
        return fast;
    return nullptr;
}

bool SameEntries(const DispatchTable& a, const DispatchTable& b) {
    for (size_t i = 0; i < kDispatchEntries; ++i) {
        if (a[i].handler != b[i].handler || a[i].parameter != b[i].parameter ||
            a[i].fast != b[i].fast)
            return false;
    }
    return true;
}

} // namespace

CKernel::CKernel(CPlatform& platform, const DispatchTable& table)
    : platform(platform), headTable(BuildHeadTable(table)) {
    for (size_t i = 0; i < kSlots; ++i) {
        SSlot& slot = dispatchSlots[i];
        slot = {&CKernel::RunHandler, &CKernel::InvalidCategory, 0};
        if (i >= kDispatchEntries)
            continue;
        const SDispatchEntry& entry = table[i];
        slot.handler = entry.handler ? entry.handler : &CKernel::InvalidOpcode;
        slot.parameter = entry.parameter;
        if (const SFastForm* fast = UsableForm(entry))
            slot.run = fast->run;
    }
}

std::shared_ptr<const FastHandler[]> CKernel::BuildHeadTable(const DispatchTable& table) {
    // The last table built is kept: every host builds its kernels from the same table.
    static std::mutex guard;
    static DispatchTable lastSource;
    static std::shared_ptr<const FastHandler[]> last;
    const std::lock_guard lock(guard);
    if (last && SameEntries(table, lastSource))
        return last;
    std::shared_ptr<FastHandler[]> built(new FastHandler[kHeadWords]);
    for (uint32_t word = 0; word < kHeadWords; ++word) {
        const uint32_t index = SlotIndex(word);
        const SFastForm* form = index < kDispatchEntries ? UsableForm(table[index]) : nullptr;
        if (!form)
            built[word] = &CKernel::RunHandler;
        else
            built[word] = form->byModes ? form->byModes[word & 0x3F] : form->run;
    }
    lastSource = table;
    last = std::move(built);
    return last;
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
    view.registers = memory->GetRegisters();
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

uint64_t CKernel::RunHandler(CKernel& kernel, uint32_t ip, uint32_t word) {
    const SSlot& slot = kernel.dispatchSlots[SlotIndex(word)];
    kernel.SetIP(ip + 2);
    const uint32_t head = word & 0xFF;
    const bool ended =
        slot.handler(kernel, (head >> 4) & 3, (head >> 2) & 3, head & 3, slot.parameter);
    return kernel.GetIP() | (ended ? kSliceEnds : 0);
}

bool CKernel::Step() {
    RefreshFastView();
    const uint64_t result = Execute(GetIP(), view, headTable.get());
    SetIP(static_cast<uint32_t>(result));
    return (result & kSliceEnds) != 0;
}

bool CKernel::RunSlice(std::string& message) {
    bool ended = false;
    if (running) {
        RefreshFastView();
        // IP lives in a local for the whole slice; the register is written back at its end
        // (the exact path keeps it current itself).
        uint32_t ip = GetIP();
        const SFastView fast = view;
        const FastHandler* const table = headTable.get();
        uint32_t executed = 0;
        while (executed < kInstructionsPerSlice) {
            ++executed;
            const uint64_t result = Execute(ip, fast, table);
            ip = static_cast<uint32_t>(result);
            if (result & kSliceEnds) [[unlikely]] {
                ended = true;
                break;
            }
        }
        SetIP(ip);
        instructionCount += executed;
    }
    message.clear();
    message.swap(pendingMessage);
    return running ? ended : true;
}

void CKernel::Fail(const std::string& message) {
    running = false;
    events.clear();
    pendingMessage = message;
}

void CKernel::PostEvent(const CEvent& event) {
    if (running && events.size() < kEventQueueCapacity)
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
