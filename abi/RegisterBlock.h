// The register block as programs see it: 44 bytes mapped at 0x7FFFFC00, the 32 general
// register bytes (also the parameter area of system calls and the place of event records),
// then the dword registers SP, BASE and IP. All values are little-endian.
//
// This folder is the one home of the machine's interface to programs; the memory, the
// kernel, the devices, the assembler, the disassembler and the debugger all take it from
// here, and a test holds tarquil.inc to it.
#pragma once

#include <cstdint>

inline constexpr uint32_t kRegisterBlockAddress = 0x7FFFFC00u;
inline constexpr uint32_t kRegisterBlockSize = 44;
inline constexpr uint32_t kGeneralRegisterBytes = 32;
// Addresses from the register block on (0x7FFFFC00 .. 0x7FFFFFFF) are never data memory.
inline constexpr uint32_t kRegisterAreaSize = 0x400;

// Offsets of the dword registers inside the block.
inline constexpr uint32_t kRegisterSP = 0x20;
inline constexpr uint32_t kRegisterBASE = 0x24;
inline constexpr uint32_t kRegisterIP = 0x28;

// Places of the parameter area, as offsets inside the block: the group and function bytes
// of a system call (the group and kind of an event record), two more bytes and five dwords.
enum EParameter : uint32_t {
    kParamGroup = 0x00,
    kParamFunction = 0x01,
    kParamByte2 = 0x02,
    kParamByte3 = 0x03,
    kParamDword4 = 0x04,
    kParamDword8 = 0x08,
    kParamDword12 = 0x0C,
    kParamDword16 = 0x10,
    kParamDword20 = 0x14,
};

// The machine address of a place in the register block.
constexpr uint32_t RegisterAddress(uint32_t offset) {
    return kRegisterBlockAddress + offset;
}
