#include "host/LargePages.h"

#include "core/Memory.h"
#include "core/MemoryImage.h"

#include <sys/mman.h>

#include <cstdlib>

namespace {

constexpr size_t kLargePage = size_t{2} << 20;

} // namespace

bool AllocateMemoryImage(CMemoryImage& image, uint32_t size) {
    image.Adopt(nullptr, 0);
    if (size == 0)
        return false;
    const size_t bytes = size_t{size} + kSpareBytes;
    uint8_t* buffer = nullptr;
    if (bytes < kLargePage) {
        buffer = static_cast<uint8_t*>(std::malloc(bytes));
    } else {
        // Whole large pages, aligned to their size; the advice is only a wish (the host may
        // have large pages switched off, or none free), so its answer does not matter.
        const size_t rounded = (bytes + kLargePage - 1) / kLargePage * kLargePage;
        buffer = static_cast<uint8_t*>(std::aligned_alloc(kLargePage, rounded));
        if (buffer)
            madvise(buffer, rounded, MADV_HUGEPAGE);
    }
    if (!buffer)
        return false;
    image.Adopt(buffer, size);
    return true;
}
