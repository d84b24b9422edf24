// The instruction families. Each family file turns an opcode-map entry (its family, type
// and parameter) into the table entry of the handler instantiated for it, with the fast
// forms where the handler has them; the dispatch table asks the file that kFamilyRows names
// for the entry's family. An empty entry means that the family has no handler for the
// entry's type.
#pragma once

#include "core/Kernel.h"
#include "isa/OpcodeMap.h"

#include <iterator>

namespace isa {

using FamilySelector = SDispatchEntry (*)(const SOpcodeInfo& info);

// Category 0
SDispatchEntry SelectConversionHandler(const SOpcodeInfo& info);
SDispatchEntry SelectMoveHandler(const SOpcodeInfo& info);    // MOV, CLR, FILL, SWAP
SDispatchEntry SelectBlockHandler(const SOpcodeInfo& info);   // MOVB, CLRB, SWAPB
SDispatchEntry SelectStackHandler(const SOpcodeInfo& info);   // PUSH ... POPR
SDispatchEntry SelectControlHandler(const SOpcodeInfo& info); // jumps ... NOP
// Category 1
SDispatchEntry SelectArithmeticHandler(const SOpcodeInfo& info);
SDispatchEntry SelectIncDecNegHandler(const SOpcodeInfo& info);
SDispatchEntry SelectLogicHandler(const SOpcodeInfo& info); // AND/OR/XOR, NOT
SDispatchEntry SelectShiftHandler(const SOpcodeInfo& info);
SDispatchEntry SelectBooleanHandler(const SOpcodeInfo& info);
SDispatchEntry SelectComparisonHandler(const SOpcodeInfo& info);
// Category 2
SDispatchEntry SelectAbsSignHandler(const SOpcodeInfo& info);
SDispatchEntry SelectOddHandler(const SOpcodeInfo& info);
SDispatchEntry SelectRandomHandler(const SOpcodeInfo& info);
SDispatchEntry SelectMathFunctionHandler(const SOpcodeInfo& info);
SDispatchEntry SelectBinaryFunctionHandler(const SOpcodeInfo& info);

// Which family file serves each family: the one list the dispatch table is built from
// (isa/Dispatch.cpp only reads it). A family without a row has no handlers; a family in two
// rows does not compile.
struct SFamilyRow {
    EFamily family;
    FamilySelector select;
};

inline constexpr SFamilyRow kFamilyRows[] = {
    {EFamily::ConvertFloatToFloat, &SelectConversionHandler},
    {EFamily::ConvertIntToFloat, &SelectConversionHandler},
    {EFamily::ConvertFloatToInt, &SelectConversionHandler},
    {EFamily::Move, &SelectMoveHandler},
    {EFamily::Clear, &SelectMoveHandler},
    {EFamily::Fill, &SelectMoveHandler},
    {EFamily::Swap, &SelectMoveHandler},
    {EFamily::MoveBlock, &SelectBlockHandler},
    {EFamily::ClearBlock, &SelectBlockHandler},
    {EFamily::SwapBlock, &SelectBlockHandler},
    {EFamily::Push, &SelectStackHandler},
    {EFamily::PushBlock, &SelectStackHandler},
    {EFamily::Pop, &SelectStackHandler},
    {EFamily::PopBlock, &SelectStackHandler},
    {EFamily::PushRegisters, &SelectStackHandler},
    {EFamily::PopRegisters, &SelectStackHandler},
    {EFamily::Jump, &SelectControlHandler},
    {EFamily::Call, &SelectControlHandler},
    {EFamily::Return, &SelectControlHandler},
    {EFamily::SystemCall, &SelectControlHandler},
    {EFamily::GetEvent, &SelectControlHandler},
    {EFamily::Wait, &SelectControlHandler},
    {EFamily::Skip, &SelectControlHandler},
    {EFamily::Nop, &SelectControlHandler},
    {EFamily::Arithmetic, &SelectArithmeticHandler},
    {EFamily::IncDecNeg, &SelectIncDecNegHandler},
    {EFamily::Logic, &SelectLogicHandler},
    {EFamily::Not, &SelectLogicHandler},
    {EFamily::Shift, &SelectShiftHandler},
    {EFamily::LogicalAnd, &SelectBooleanHandler},
    {EFamily::LogicalOr, &SelectBooleanHandler},
    {EFamily::LogicalNot, &SelectBooleanHandler},
    {EFamily::LogicalTest, &SelectBooleanHandler},
    {EFamily::Equality, &SelectComparisonHandler},
    {EFamily::Relation, &SelectComparisonHandler},
    {EFamily::AbsSign, &SelectAbsSignHandler},
    {EFamily::Odd, &SelectOddHandler},
    {EFamily::Random, &SelectRandomHandler},
    {EFamily::MathFunction, &SelectMathFunctionHandler},
    {EFamily::BinaryFunction, &SelectBinaryFunctionHandler},
};

// True when no family has two rows and Invalid has none.
constexpr bool FamilyRowsAreDistinct() {
    for (size_t i = 0; i < std::size(kFamilyRows); ++i) {
        if (kFamilyRows[i].family == EFamily::Invalid)
            return false;
        for (size_t j = i + 1; j < std::size(kFamilyRows); ++j)
            if (kFamilyRows[i].family == kFamilyRows[j].family)
                return false;
    }
    return true;
}
static_assert(FamilyRowsAreDistinct(), "a family has two rows (or Invalid has one)");

// The selector of a family; null when it has none.
constexpr FamilySelector FindFamilySelector(EFamily family) {
    for (const SFamilyRow& row : kFamilyRows)
        if (row.family == family)
            return row.select;
    return nullptr;
}

} // namespace isa
