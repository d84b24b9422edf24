#include "debug/MachineBytes.h"

#include "core/Memory.h"

uint8_t* MachineBytes(CMemory& memory, uint32_t address, uint32_t count) {
    if (count == 0)
        return nullptr;
    const uint64_t end = uint64_t{address} + count;
    if (end <= static_cast<uint64_t>(memory.GetSize()))
        return memory.GetData() + address;
    if (address >= kRegisterBlockAddress &&
        end <= uint64_t{kRegisterBlockAddress} + kRegisterBlockSize)
        return memory.GetRegisters() + (address - kRegisterBlockAddress);
    return nullptr;
}

const uint8_t* MachineBytes(const CMemory& memory, uint32_t address, uint32_t count) {
    return MachineBytes(const_cast<CMemory&>(memory), address, count);
}
