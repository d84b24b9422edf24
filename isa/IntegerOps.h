// Integer arithmetic of the machine's types with wrap-around and without host traps: the
// operations run in an unsigned integer of at least 32 bits and keep the low bits, so no
// signed overflow and no promotion to a signed int can occur.
#pragma once

#include "isa/InstructionSupport.h"

#include <limits>

namespace isa {

template <typename T>
constexpr T WrapAdd(T a, T b) {
    return static_cast<T>(static_cast<WrapType<T>>(a) + static_cast<WrapType<T>>(b));
}
template <typename T>
constexpr T WrapSub(T a, T b) {
    return static_cast<T>(static_cast<WrapType<T>>(a) - static_cast<WrapType<T>>(b));
}
template <typename T>
constexpr T WrapMul(T a, T b) {
    return static_cast<T>(static_cast<WrapType<T>>(a) * static_cast<WrapType<T>>(b));
}
template <typename T>
constexpr T WrapNeg(T a) {
    return WrapSub(T{0}, a);
}

// Truncating division; by 0 gives 0, and the most negative value divided by -1 gives itself
// (its remainder 0), which the host's divide instruction would trap on.
template <typename T>
constexpr T SafeDiv(T a, T b) {
    if (b == 0)
        return 0;
    if constexpr (std::is_signed_v<T>) {
        if (b == -1)
            return WrapNeg(a);
    }
    return static_cast<T>(a / b);
}
template <typename T>
constexpr T SafeMod(T a, T b) {
    if (b == 0)
        return 0;
    if constexpr (std::is_signed_v<T>) {
        if (b == -1)
            return 0;
    }
    return static_cast<T>(a % b);
}

} // namespace isa
