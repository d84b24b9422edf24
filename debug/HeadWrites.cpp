#include "debug/HeadWrites.h"

#include "isa/OpcodeMap.h"

namespace {

// Families whose instructions write nothing but their written operands (no SP, no stack, no
// block, no host call). The others, that write something else or nothing, are listed in
// WritesNothing or left to Anything.
bool WritesOnlyOperands(EFamily family) {
    switch (family) {
    case EFamily::ConvertFloatToFloat:
    case EFamily::ConvertIntToFloat:
    case EFamily::ConvertFloatToInt:
    case EFamily::Move:
    case EFamily::Clear:
    case EFamily::Arithmetic:
    case EFamily::IncDecNeg:
    case EFamily::Logic:
    case EFamily::Not:
    case EFamily::Shift:
    case EFamily::LogicalAnd:
    case EFamily::LogicalOr:
    case EFamily::LogicalNot:
    case EFamily::LogicalTest:
    case EFamily::Equality:
    case EFamily::Relation:
    case EFamily::AbsSign:
    case EFamily::Odd:
    case EFamily::Random:
    case EFamily::MathFunction:
    case EFamily::BinaryFunction:
        return true;
    default:
        return false;
    }
}

bool WritesNothing(EFamily family) {
    return family == EFamily::Jump || family == EFamily::Skip || family == EFamily::Nop;
}

bool Writes(EOperandRole role) {
    return role == EOperandRole::Written || role == EOperandRole::ReadWrite;
}

} // namespace

SHeadWrites DescribeHeadWrites(uint32_t word) {
    const uint32_t head = word & 0xFF;
    if (HeadCategory(head) >= kOpcodeCategories)
        return {};
    const SOpcodeInfo& info = GetOpcodeInfo(HeadCategory(head), word >> 8);
    SHeadWrites writes;
    uint32_t written = 0;
    uint32_t offset = 2;
    for (uint32_t i = 0; i < info.operandCount; ++i) {
        const SOperandShape& shape = info.operands[i];
        const uint32_t mode = HeadMode(head, shape.mode);
        if (mode == kModeNone || shape.kind == EOperandKind::Block)
            return {}; // fails, or a field of a size the head does not tell
        if (Writes(shape.role)) {
            if (mode != kModeDirect)
                return {};
            writes = {EHeadWrites::DirectOperand, offset};
            ++written;
        }
        offset += OperandFieldSize(shape, mode, 0);
    }
    if (written == 0 && WritesNothing(info.family))
        return {EHeadWrites::Nothing, 0};
    if (written == 1 && WritesOnlyOperands(info.family) &&
        writes.fieldOffset <= kLongestWriteOffset)
        return writes;
    return {};
}
