// The machine's bytes as a debugger addresses them: absolute addresses, data memory below
// its size and the register block at 0x7FFFFC00 (BASE is never added).
#pragma once

#include <cstdint>

class CMemory;

// Host pointer to `count` bytes from `address` when all of them lie in one area, else null.
uint8_t* MachineBytes(CMemory& memory, uint32_t address, uint32_t count);
const uint8_t* MachineBytes(const CMemory& memory, uint32_t address, uint32_t count);
