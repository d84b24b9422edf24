// RND: a pseudo-random value between A and B, C = A + (B - A) * r / 32767 with r from the
// machine's generator, so B itself comes only with r = 32767.
#include "core/Random.h"
#include "isa/Handlers.h"
#include "isa/IntegerOps.h"

namespace isa {
namespace {

constexpr double kScale = 1.0 / 32767.0;

// The span B - A. The 8- and 16-bit types widen both bounds first and take the exact
// (possibly negative) difference; the 32- and 64-bit types wrap in their width, signed for
// I and unsigned for U, so A > B counts upward from A through the wrap-around for U.
template <typename T>
double Span(T a, T b) {
    if constexpr (sizeof(T) <= 2)
        return static_cast<double>(int32_t{b} - int32_t{a});
    else
        return static_cast<double>(WrapSub(b, a));
}

template <typename T>
T RandomBetween(T a, T b, int32_t r) {
    if constexpr (kIsFloat<T>) {
        const T scale = static_cast<T>(kScale);
        return a + ((b - a) * static_cast<T>(r)) * scale;
    } else {
        // r * d is exact in a double for the 8- to 32-bit types; for the 64-bit types the
        // span is rounded to a double first. An offset beyond the 64-bit range becomes the
        // most negative value, as the conversion unit reports it.
        const int64_t offset = TruncateToInt64((static_cast<double>(r) * Span(a, b)) * kScale);
        return WrapAdd(a, static_cast<T>(offset));
    }
}

template <typename T>
constexpr auto Random =
    [](OperandAccess auto& kernel, uint32_t modeA, uint32_t modeB, uint32_t fieldC, uint32_t) {
        T a;
        T b;
        if (!kernel.ReadOperand(a, modeA) || !kernel.ReadOperand(b, modeB))
            return MemoryFault(kernel);
        const int32_t r = NextRandom();
        return kernel.WriteOperand(RandomBetween(a, b, r), fieldC) ? false : MemoryFault(kernel);
    };

} // namespace

SDispatchEntry SelectRandomHandler(const SOpcodeInfo& info) {
    return ForTenTypes(info.type,
                       [&]<typename T>(TypeTag<T>) { return Register<Random<T>>(info); });
}

} // namespace isa
