#include "core/Kernel.h"

#include "core/DiskSlot.h"
#include "core/Machine.h"

CKernel::CKernel(CPlatform& platform, const DispatchTable& table)
    : platform(platform), dispatch(table) {
    for (SDispatchEntry& entry : dispatch) {
        if (!entry.handler)
            entry.handler = &CKernel::InvalidOpcode;
    }
}

CKernel::~CKernel() = default;

bool CKernel::InvalidOpcode(CKernel& kernel, uint32_t, uint32_t, uint32_t, uint32_t) {
    kernel.Fail("Invalid opcode");
    return true;
}

bool CKernel::Step() {
    // IP moves before each of the two head reads, so it has moved even when a read fails.
    const uint32_t ip = GetIP();
    uint8_t head;
    SetIP(ip + 1);
    if (!memory->ReadByte(ip, head, true)) [[unlikely]] {
        MemoryError();
        return true;
    }
    uint8_t code;
    SetIP(ip + 2);
    if (!memory->ReadByte(ip + 1, code, true)) [[unlikely]] {
        MemoryError();
        return true;
    }
    const uint32_t category = head >> 6;
    if (category == 3) [[unlikely]] {
        Fail("Invalid opcode category");
        return true;
    }
    const SDispatchEntry& entry = dispatch[category * 256 + code];
    return entry.handler(*this, (head >> 4) & 3, (head >> 2) & 3, head & 3, entry.parameter);
}

bool CKernel::RunSlice(std::string& message) {
    bool ended = false;
    if (running) {
        uint32_t executed = 0;
        while (executed < kInstructionsPerSlice && !ended) {
            ended = Step();
            ++executed;
        }
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
