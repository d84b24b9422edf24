// Helpers of the block instructions: filling host bytes with a pattern, and block sources
// that stay as they were read.
#pragma once

#include "core/Kernel.h"
#include "core/Memory.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace isa {

// Bytes that an instruction reads in place through a host pointer: on the exact path the
// memory tells its read observer (a debugger's read watchpoints run instructions there); the
// fast forms have nothing to tell.
template <typename Kernel>
void NoteBlockRead(Kernel& kernel, const uint8_t* bytes, int32_t count) {
    if constexpr (std::is_same_v<Kernel, CKernel>)
        kernel.GetMemory().NoteRead(bytes, static_cast<uint32_t>(count));
}

// Writes count copies of a value of 1, 2, 4 or 8 bytes from `bytes` on, a run of 32 bytes
// of the pattern at a time.
template <typename T>
void FillPattern(uint8_t* bytes, T value, int32_t count) {
    static_assert(32 % sizeof(T) == 0);
    const size_t total = static_cast<size_t>(count) * sizeof(T);
    uint8_t pattern[32];
    for (size_t i = 0; i < sizeof pattern; i += sizeof(T))
        std::memcpy(pattern + i, &value, sizeof(T));
    size_t done = 0;
    for (; done + sizeof pattern <= total; done += sizeof pattern)
        std::memcpy(bytes + done, pattern, sizeof pattern);
    std::memcpy(bytes + done, pattern, total - done);
}

// A block source that stays as it was read while the instruction goes on: resolving a later
// operand moves IP, which lives in the register block, so a source inside the register block
// is copied aside at once. Data memory is not touched by operand resolution and is used in
// place, so no block of any size needs a buffer.
class CBlockSource {
public:
    // A block operand from the instruction stream; consumes its field.
    template <typename Kernel>
    bool Locate(Kernel& kernel, int32_t count, uint32_t mode) {
        const uint32_t ipBefore = kernel.GetIP();
        const uint8_t* found = kernel.LocateOperandBlock(count, mode);
        if (!found)
            return false;
        if (mode != kModeImmediate) // an immediate block is the instruction's own
            NoteBlockRead(kernel, found, count);
        Keep(kernel.GetRegisterBytes(), found, count);
        // An immediate block is read before its field is consumed: it saw the old IP.
        if (mode == kModeImmediate && bytes == copy.data())
            PatchRegister(found, count, kernel.GetRegisterBytes(), kRegisterIP, ipBefore);
        return true;
    }
    // count bytes at a relative address.
    template <typename Kernel>
    bool LocateAt(Kernel& kernel, uint32_t address, int32_t count) {
        const uint8_t* found = kernel.LocateBlock(address, count);
        if (!found)
            return false;
        NoteBlockRead(kernel, found, count);
        Keep(kernel.GetRegisterBytes(), found, count);
        return true;
    }
    const uint8_t* Bytes() const { return bytes; }

private:
    void Keep(const uint8_t* registers, const uint8_t* found, int32_t count) {
        bytes = found;
        if (found >= registers && found < registers + kRegisterBlockSize) {
            std::memcpy(copy.data(), found, static_cast<size_t>(count));
            bytes = copy.data();
        }
    }
    // Puts a register's earlier value into the copied bytes that cover it.
    void PatchRegister(const uint8_t* found, int32_t count, const uint8_t* registers,
                       uint32_t offset, uint32_t value) {
        const int64_t start = found - registers;
        uint8_t old[4];
        std::memcpy(old, &value, 4);
        for (int64_t i = 0; i < count; ++i) {
            const int64_t registerByte = start + i - offset;
            if (registerByte >= 0 && registerByte < 4)
                copy[static_cast<size_t>(i)] = old[registerByte];
        }
    }

    const uint8_t* bytes = nullptr;
    std::array<uint8_t, kRegisterBlockSize> copy{};
};

} // namespace isa
