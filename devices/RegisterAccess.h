// Small helpers for the device service groups: parameters and results live at fixed places
// of the register block (abi/RegisterBlock.h), which never takes BASE and whose accesses
// cannot fail.
#pragma once

#include "abi/RegisterBlock.h"
#include "abi/SystemCalls.h"
#include "core/Memory.h"
#include "core/Platform.h"

#include <cstdint>

namespace registers {

inline uint8_t GetByte(const CMemory& memory, uint32_t offset) {
    uint8_t value = 0;
    memory.Read(kRegisterBlockAddress + offset, value, true);
    return value;
}
inline uint32_t GetDword(const CMemory& memory, uint32_t offset) {
    uint32_t value = 0;
    memory.Read(kRegisterBlockAddress + offset, value, true);
    return value;
}
inline int32_t GetInt(const CMemory& memory, uint32_t offset) {
    return static_cast<int32_t>(GetDword(memory, offset));
}
inline void PutByte(CMemory& memory, uint32_t offset, uint8_t value) {
    memory.Write(kRegisterBlockAddress + offset, value);
}
inline void PutFlag(CMemory& memory, uint32_t offset, bool value) {
    PutByte(memory, offset, value ? 1 : 0);
}
inline void PutDword(CMemory& memory, uint32_t offset, uint32_t value) {
    memory.Write(kRegisterBlockAddress + offset, value);
}
inline void PutInt(CMemory& memory, uint32_t offset, int32_t value) {
    PutDword(memory, offset, static_cast<uint32_t>(value));
}
// A pair of values that the host decides (a size that follows the window, the mouse's place)
// put into the results' dwords 8 and 12 as they pass the host: a recording notes the pair as
// one value, and a replay answers the recorded pair.
inline void PutHostPair(CPlatform& platform, CMemory& memory, EDeviceValue kind, int32_t first,
                        int32_t second) {
    const uint64_t passed =
        platform.PassDeviceValue(kind, uint64_t{static_cast<uint32_t>(first)} |
                                           uint64_t{static_cast<uint32_t>(second)} << 32);
    PutInt(memory, kParamDword8, static_cast<int32_t>(static_cast<uint32_t>(passed)));
    PutInt(memory, kParamDword12, static_cast<int32_t>(static_cast<uint32_t>(passed >> 32)));
}

// The caller asked for a function the group does not have.
inline void RejectFunction(CMemory& memory) {
    PutByte(memory, kParamFunction, 0);
}

} // namespace registers
