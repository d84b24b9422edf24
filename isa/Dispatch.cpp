#include "isa/Dispatch.h"

#include "isa/Handlers.h"
#include "isa/OpcodeMap.h"

namespace {

SDispatchEntry SelectHandler(const SOpcodeInfo& info) {
    using namespace isa;
    switch (info.family) {
    case EFamily::Invalid:
        return {};
    case EFamily::ConvertFloatToFloat:
    case EFamily::ConvertIntToFloat:
    case EFamily::ConvertFloatToInt:
        return SelectConversionHandler(info);
    case EFamily::Move:
    case EFamily::Clear:
    case EFamily::Fill:
    case EFamily::Swap:
        return SelectMoveHandler(info);
    case EFamily::MoveBlock:
    case EFamily::ClearBlock:
    case EFamily::SwapBlock:
        return SelectBlockHandler(info);
    case EFamily::Push:
    case EFamily::PushBlock:
    case EFamily::Pop:
    case EFamily::PopBlock:
    case EFamily::PushRegisters:
    case EFamily::PopRegisters:
        return SelectStackHandler(info);
    case EFamily::Jump:
    case EFamily::Call:
    case EFamily::Return:
    case EFamily::SystemCall:
    case EFamily::GetEvent:
    case EFamily::Wait:
    case EFamily::Skip:
    case EFamily::Nop:
        return SelectControlHandler(info);
    case EFamily::Arithmetic:
        return SelectArithmeticHandler(info);
    case EFamily::IncDecNeg:
        return SelectIncDecNegHandler(info);
    case EFamily::Logic:
    case EFamily::Not:
        return SelectLogicHandler(info);
    case EFamily::Shift:
        return SelectShiftHandler(info);
    case EFamily::LogicalAnd:
    case EFamily::LogicalOr:
    case EFamily::LogicalNot:
    case EFamily::LogicalTest:
        return SelectBooleanHandler(info);
    case EFamily::Equality:
    case EFamily::Relation:
        return SelectComparisonHandler(info);
    case EFamily::AbsSign:
        return SelectAbsSignHandler(info);
    case EFamily::Odd:
        return SelectOddHandler(info);
    case EFamily::Random:
        return SelectRandomHandler(info);
    case EFamily::MathFunction:
        return SelectMathFunctionHandler(info);
    case EFamily::BinaryFunction:
        return SelectBinaryFunctionHandler(info);
    }
    return {};
}

DispatchTable BuildDispatchTable() {
    DispatchTable table{};
    const auto& map = GetOpcodeMap();
    for (size_t i = 0; i < kDispatchEntries; ++i) {
        const SDispatchEntry entry = SelectHandler(map[i]);
        table[i] = entry.handler ? entry : SDispatchEntry{&CKernel::InvalidOpcode, 0, nullptr};
    }
    return table;
}

} // namespace

const DispatchTable& GetDispatchTable() {
    static const DispatchTable table = BuildDispatchTable();
    return table;
}
