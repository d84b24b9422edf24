// Floating-point values as source text that reads back to the very same bits: the shortest
// decimal that does, or raw(bits) for infinities and NaNs.
#pragma once

#include <cstdint>
#include <string>

std::string FormatF32(uint32_t bits);
std::string FormatF64(uint64_t bits);
