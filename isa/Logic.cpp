// AND, OR, XOR and NOT of the widths 8 to 64.
#include "isa/Handlers.h"
#include "isa/InstructionSupport.h"

namespace isa {
namespace {

enum EOperation : uint32_t { kAnd, kOr, kXor, kLastOperation = kXor };

template <typename T>
bool Logic(CKernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t fieldC, uint32_t operation) {
    if (operation > kLastOperation)
        return InternalError(kernel, 400 + WidthIndex<T>());
    T a;
    T b;
    if (!kernel.ReadOperand(a, modeA) || !kernel.ReadOperand(b, modeB))
        return MemoryFault(kernel);
    const T result = operation == kAnd ? T(a & b) : operation == kOr ? T(a | b) : T(a ^ b);
    return kernel.WriteOperand(result, fieldC) ? false : MemoryFault(kernel);
}

template <typename T>
bool Not(CKernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t) {
    T a;
    if (!kernel.ReadOperand(a, modeA) || !kernel.WriteOperand(static_cast<T>(~a), modeB))
        return MemoryFault(kernel);
    return false;
}

} // namespace

InstructionHandler SelectLogicHandler(EFamily family, EValueType type) {
    return ForWidths(type, [family]<typename T>(TypeTag<T>) -> InstructionHandler {
        if (family == EFamily::Logic)
            return &Logic<T>;
        if (family == EFamily::Not)
            return &Not<T>;
        return nullptr;
    });
}

} // namespace isa
