// SHL, SAR, ROL and ROR of the widths 8 to 64. Right shifts are always arithmetic, also
// inside the rotations, which therefore equal true rotations only for values whose top bit
// is clear. Amounts follow the machine's shifter: widths up to 32 take the amount modulo 32
// (so an amount from the width up to 31 shifts every bit out), width 64 compares the
// amount's low byte with 64.
#include "isa/Handlers.h"
#include "isa/InstructionSupport.h"

namespace isa {
namespace {

enum EOperation : uint32_t { kShl, kSar, kRol, kRor, kLastOperation = kRor };

template <typename T>
constexpr uint32_t kBits = sizeof(T) * 8;

template <typename T>
constexpr uint32_t EffectiveAmount(uint32_t amount) {
    return sizeof(T) < 8 ? amount & 31 : amount & 0xFF;
}

template <typename T>
constexpr T ShiftLeft(T value, uint32_t amount) {
    const uint32_t k = EffectiveAmount<T>(amount);
    if (k >= kBits<T>)
        return 0;
    return static_cast<T>(static_cast<uint64_t>(value) << k);
}

// The value taken as signed; vacated positions get its sign bit.
template <typename T>
constexpr T ShiftRight(T value, uint32_t amount) {
    using Signed = std::make_signed_t<T>;
    const Signed s = static_cast<Signed>(value);
    const uint32_t k = EffectiveAmount<T>(amount);
    if (k >= kBits<T>)
        return s < 0 ? static_cast<T>(~T{0}) : T{0};
    return static_cast<T>(static_cast<int64_t>(s) >> k);
}

template <typename T>
constexpr T Compute(uint32_t operation, T value, uint32_t amount) {
    // The complementary amount is computed in two's complement and then treated like any
    // other amount.
    const uint32_t complement = kBits<T> - amount;
    switch (operation) {
    case kShl:
        return ShiftLeft(value, amount);
    case kSar:
        return ShiftRight(value, amount);
    case kRol:
        return static_cast<T>(ShiftLeft(value, amount) | ShiftRight(value, complement));
    default:
        return static_cast<T>(ShiftLeft(value, complement) | ShiftRight(value, amount));
    }
}

template <typename T>
constexpr auto Shift = [](OperandAccess auto& kernel, uint32_t modeA, uint32_t modeB,
                          uint32_t fieldC, uint32_t operation) {
    T value;
    uint8_t amount;
    if (!kernel.ReadOperand(value, modeA) || !kernel.ReadOperand(amount, modeB) ||
        !kernel.WriteOperand(Compute(operation, value, amount), fieldC))
        return MemoryFault(kernel);
    return false;
};

// The rules at a glance, checked when the library is built.
static_assert(ShiftRight<uint8_t>(0x80, 1) == 0xC0);
static_assert(ShiftLeft<uint8_t>(1, 8) == 0);
static_assert(ShiftLeft<uint32_t>(1, 32) == 1);
static_assert(ShiftLeft<uint64_t>(1, 64) == 0);
static_assert(Compute<uint8_t>(kRol, 0x81, 3) == 0xFC);
static_assert(Compute<uint8_t>(kRol, 0x81, 0) == 0xFF);

} // namespace

SDispatchEntry SelectShiftHandler(const SOpcodeInfo& info) {
    return ForWidths(info.type, [&]<typename T>(TypeTag<T>) {
        return Register<Shift<T>, SForms{.parameters = kLastOperation + 1,
                                         .error = 500 + WidthIndex<T>(),
                                         .specialised = IfHotType<T>(kAllParameters)}>(info);
    });
}

} // namespace isa
