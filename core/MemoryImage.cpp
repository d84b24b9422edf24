#include "core/MemoryImage.h"

#include "core/Memory.h"

#include <cstring>

void CMemoryImage::Adopt(uint8_t* buffer, uint32_t count) {
    bytes.reset(buffer);
    size = buffer ? count : 0;
    if (size == 0) {
        bytes.reset();
        return;
    }
    std::memset(buffer + count, 0, kSpareBytes);
}

bool CMemoryImage::operator==(const CMemoryImage& other) const {
    return size == other.size &&
           (size == 0 || std::memcmp(bytes.get(), other.bytes.get(), size) == 0);
}

uint8_t* CMemoryImage::Release() {
    size = 0;
    return bytes.release();
}
