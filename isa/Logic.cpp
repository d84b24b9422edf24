// AND, OR, XOR and NOT of the widths 8 to 64.
#include "isa/Handlers.h"
#include "isa/InstructionSupport.h"

namespace isa {
namespace {

enum EOperation : uint32_t { kAnd, kOr, kXor, kLastOperation = kXor };

template <typename T, typename Kernel>
bool Logic(Kernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t fieldC, uint32_t operation) {
    T a;
    T b;
    if (!kernel.ReadOperand(a, modeA) || !kernel.ReadOperand(b, modeB))
        return MemoryFault(kernel);
    const T result = operation == kAnd ? T(a & b) : operation == kOr ? T(a | b) : T(a ^ b);
    return kernel.WriteOperand(result, fieldC) ? false : MemoryFault(kernel);
}

template <typename T>
bool CheckedLogic(CKernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t fieldC,
                  uint32_t operation) {
    if (operation > kLastOperation)
        return InternalError(kernel, 400 + WidthIndex<T>());
    return Logic<T>(kernel, modeA, modeB, fieldC, operation);
}

template <typename T, typename Kernel>
bool Not(Kernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t) {
    T a;
    if (!kernel.ReadOperand(a, modeA) || !kernel.WriteOperand(static_cast<T>(~a), modeB))
        return MemoryFault(kernel);
    return false;
}

} // namespace

SDispatchEntry SelectLogicHandler(const SOpcodeInfo& info) {
    return ForWidths(info.type, [&]<typename T>(TypeTag<T>) -> SDispatchEntry {
        if (info.family == EFamily::Logic)
            return WithSpecialisedForms<&CheckedLogic<T>, &Logic<T, CFastAccess>,
                                        &Logic<T, CSpecialisedAccess>, 3, kLastOperation + 1>(
                info.parameter);
        if (info.family == EFamily::Not)
            return WithSpecialisedForms<&Not<T, CKernel>, &Not<T, CFastAccess>,
                                        &Not<T, CSpecialisedAccess>, 2>(info.parameter);
        return {};
    });
}

} // namespace isa
