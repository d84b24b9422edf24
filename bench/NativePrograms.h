// The native references: each benchmark program's algorithm written in plain C++, with the
// same data layout and memory traffic where the machine has any, so that the emulated run
// can be compared with what the host does on its own. Each returns the program's result.
#pragma once

#include <cstdint>

namespace bench {

struct SProgramParameters {
    uint32_t first = 0;
    uint32_t second = 0;
    uint32_t third = 0;
};

uint32_t NativeLoop(const SProgramParameters& parameters);       // rounds
uint32_t NativeSieve(const SProgramParameters& parameters);      // size
uint32_t NativeMandelbrot(const SProgramParameters& parameters); // width, height, limit
uint32_t NativeBlocks(const SProgramParameters& parameters);     // rounds
uint32_t NativeCalls(const SProgramParameters& parameters);      // n

} // namespace bench
