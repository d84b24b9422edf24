// Saved contents back into the memory: a machine state being loaded.
#include "core/Memory.h"
#include "core/MemoryImage.h"

#include <cstring>

bool CMemory::Restore(CMemoryImage&& image, const uint8_t* registerBytes) {
    const uint32_t byteCount = image.GetSize();
    if (byteCount == 0 || byteCount >= kRegisterBlockAddress)
        return false;
    // The image's buffer becomes the memory as it is: its spare bytes are cleared already.
    data.reset(image.Release());
    size = static_cast<int32_t>(byteCount);
    registers.fill(0);
    std::memcpy(registers.data(), registerBytes, kRegisterBlockSize);
    return true;
}
