// Range helpers of the block instructions. The element-wise operations (FILL, SWAPB) take
// every element's address on its own, relative to BASE; when a whole range lies in one area
// and its relative addresses do not run into the register block, the same work can be done
// on the host bytes in one pass.
#pragma once

#include "core/Kernel.h"
#include "core/Memory.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace isa {

// Host bytes of [address, address + count) when each relative address in the range maps to
// the byte behind the previous one; null otherwise (or on a bad range).
inline uint8_t* ContiguousRange(CMemory& memory, uint32_t address, int64_t count) {
    if (count < 1 || count > INT32_MAX)
        return nullptr;
    const int64_t start = static_cast<int32_t>(address);
    if (start < static_cast<int32_t>(kRegisterBlockAddress) &&
        start + count > static_cast<int32_t>(kRegisterBlockAddress))
        return nullptr;
    return memory.GetPointer(address, static_cast<int32_t>(count), false);
}

// Writes count copies of a value of 1, 2, 4 or 8 bytes from `bytes` on, 8 bytes at a time.
template <typename T>
void FillPattern(uint8_t* bytes, T value, int32_t count) {
    static_assert(8 % sizeof(T) == 0);
    const size_t total = static_cast<size_t>(count) * sizeof(T);
    uint8_t pattern[8];
    for (size_t i = 0; i < 8; i += sizeof(T))
        std::memcpy(pattern + i, &value, sizeof(T));
    size_t done = 0;
    for (; done + 8 <= total; done += 8)
        std::memcpy(bytes + done, pattern, 8);
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
