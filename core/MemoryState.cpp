// Saved contents back into the memory: a machine state being loaded.
#include "core/Memory.h"

#include <cstdlib>
#include <cstring>

bool CMemory::Restore(const uint8_t* bytes, uint32_t byteCount, const uint8_t* registerBytes) {
    if (byteCount == 0 || byteCount >= kRegisterBlockAddress)
        return false;
    // The new buffer is complete before the old one goes, so a failure changes nothing.
    auto* buffer = static_cast<uint8_t*>(std::malloc(size_t{byteCount} + kSpareBytes));
    if (!buffer)
        return false;
    std::memcpy(buffer, bytes, byteCount);
    std::memset(buffer + byteCount, 0, kSpareBytes);
    data.reset(buffer);
    size = static_cast<int32_t>(byteCount);
    registers.fill(0);
    std::memcpy(registers.data(), registerBytes, kRegisterBlockSize);
    return true;
}
