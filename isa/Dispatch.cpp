#include "isa/Dispatch.h"

#include "isa/Handlers.h"
#include "isa/OpcodeMap.h"

namespace {

InstructionHandler SelectHandler(const SOpcodeInfo& info) {
    using namespace isa;
    switch (info.family) {
    case EFamily::Invalid:
        return nullptr;
    case EFamily::ConvertFloatToFloat:
    case EFamily::ConvertIntToFloat:
    case EFamily::ConvertFloatToInt:
        return SelectConversionHandler(info.family, info.type);
    case EFamily::Move:
    case EFamily::Clear:
    case EFamily::Fill:
    case EFamily::Swap:
        return SelectMoveHandler(info.family, info.type);
    case EFamily::MoveBlock:
    case EFamily::ClearBlock:
    case EFamily::SwapBlock:
        return SelectBlockHandler(info.family);
    case EFamily::Push:
    case EFamily::PushBlock:
    case EFamily::Pop:
    case EFamily::PopBlock:
    case EFamily::PushRegisters:
    case EFamily::PopRegisters:
        return SelectStackHandler(info.family, info.type);
    case EFamily::Jump:
    case EFamily::Call:
    case EFamily::Return:
    case EFamily::SystemCall:
    case EFamily::GetEvent:
    case EFamily::Wait:
    case EFamily::Skip:
    case EFamily::Nop:
        return SelectControlHandler(info.family, info.type);
    case EFamily::Arithmetic:
        return SelectArithmeticHandler(info.type);
    case EFamily::IncDecNeg:
        return SelectIncDecNegHandler(info.type);
    case EFamily::Logic:
    case EFamily::Not:
        return SelectLogicHandler(info.family, info.type);
    case EFamily::Shift:
        return SelectShiftHandler(info.type);
    case EFamily::LogicalAnd:
    case EFamily::LogicalOr:
    case EFamily::LogicalNot:
    case EFamily::LogicalTest:
        return SelectBooleanHandler(info.family, info.type);
    case EFamily::Equality:
    case EFamily::Relation:
        return SelectComparisonHandler(info.family, info.type);
    case EFamily::AbsSign:
        return SelectAbsSignHandler(info.type);
    case EFamily::Odd:
        return SelectOddHandler(info.type);
    case EFamily::Random:
        return SelectRandomHandler(info.type);
    case EFamily::MathFunction:
        return SelectMathFunctionHandler(info.type);
    case EFamily::BinaryFunction:
        return SelectBinaryFunctionHandler(info.type);
    }
    return nullptr;
}

DispatchTable BuildDispatchTable() {
    DispatchTable table{};
    const auto& map = GetOpcodeMap();
    for (size_t i = 0; i < kDispatchEntries; ++i) {
        InstructionHandler handler = SelectHandler(map[i]);
        table[i].handler = handler ? handler : &CKernel::InvalidOpcode;
        table[i].parameter = handler ? map[i].parameter : 0;
    }
    return table;
}

} // namespace

const DispatchTable& GetDispatchTable() {
    static const DispatchTable table = BuildDispatchTable();
    return table;
}
