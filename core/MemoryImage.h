// Data memory's bytes in a buffer of their own, with the spare bytes behind them cleared:
// what a saved state holds, and what a machine takes over without a copy when the state is
// loaded (CMemory::Restore). The host allocates the buffer (see host/LargePages.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

class CMemoryImage {
public:
    // Takes over `buffer`, allocated with the C library's allocator (std::malloc or
    // std::aligned_alloc) for `size` bytes and the spare bytes behind them, which this clears.
    // The contents are the caller's to write. An empty image for a null buffer or size 0.
    void Adopt(uint8_t* buffer, uint32_t size);

    uint8_t* GetData() { return bytes.get(); }
    const uint8_t* GetData() const { return bytes.get(); }
    uint32_t GetSize() const { return size; }
    bool IsEmpty() const { return size == 0; }
    bool operator==(const CMemoryImage& other) const;

    // Hands the buffer (freed with std::free) to its new owner and leaves the image empty.
    uint8_t* Release();

private:
    struct FreeDeleter {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<uint8_t[], FreeDeleter> bytes;
    uint32_t size = 0;
};
