// Counts the process's heap allocations, so that a benchmark can show that the interpreter
// allocates nothing while it runs.
#pragma once

#include <cstdint>

namespace bench {

uint64_t AllocationCount();

} // namespace bench
