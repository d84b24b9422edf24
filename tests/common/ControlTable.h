// A dispatch table with just the instructions that talk to the kernel (SYS, GETEVENT,
// WAIT) and NOP, so that kernel tests do not depend on the instruction set.
#pragma once

#include "core/Kernel.h"

#include <cstdint>
#include <vector>

namespace testhelpers {

inline constexpr uint8_t kCodeSys = 109;
inline constexpr uint8_t kCodeGetEvent = 110;
inline constexpr uint8_t kCodeWait = 111;
inline constexpr uint8_t kCodeNop = 255;

inline SDispatchTable ControlTable() {
    SDispatchTable table{};
    table.entries[kCodeSys] = {
        [](CKernel& k, uint32_t, uint32_t, uint32_t, uint32_t) { return k.SystemCall(); }, 0};
    table.entries[kCodeGetEvent] = {[](CKernel& k, uint32_t, uint32_t, uint32_t, uint32_t) {
                                        if (k.TakeEvent())
                                            return false;
                                        k.MemoryError();
                                        return true;
                                    },
                                    0};
    table.entries[kCodeWait] = {
        [](CKernel& k, uint32_t, uint32_t, uint32_t, uint32_t) { return !k.HasEvents(); }, 0};
    table.entries[kCodeNop] = {
        [](CKernel&, uint32_t, uint32_t, uint32_t, uint32_t) { return false; }, 0};
    return table;
}

// The two head bytes of a category-0 instruction without operands.
inline std::vector<uint8_t> Op(uint8_t code) {
    return {0x00, code};
}

inline std::vector<uint8_t> Program(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> bytes;
    for (const auto& part : parts)
        bytes.insert(bytes.end(), part.begin(), part.end());
    return bytes;
}

} // namespace testhelpers
