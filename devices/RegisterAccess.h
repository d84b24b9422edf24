// Small helpers for the device service groups: parameters and results live at fixed offsets
// of the register block, which never takes BASE and whose accesses cannot fail.
#pragma once

#include "core/Memory.h"

#include <cstdint>

namespace registers {

inline constexpr uint32_t kFunction = 0x01;
inline constexpr uint32_t kByte2 = 0x02;
inline constexpr uint32_t kByte3 = 0x03;
inline constexpr uint32_t kDword04 = 0x04;
inline constexpr uint32_t kDword08 = 0x08;
inline constexpr uint32_t kDword0C = 0x0C;
inline constexpr uint32_t kDword10 = 0x10;
inline constexpr uint32_t kDword14 = 0x14;

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
// The caller asked for a function the group does not have.
inline void RejectFunction(CMemory& memory) {
    PutByte(memory, kFunction, 0);
}

} // namespace registers
