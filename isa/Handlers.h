// The instruction families. Each family file turns an opcode-map entry (its family, type
// and parameter) into the table entry of the handler instantiated for it, with the fast
// forms where the handler has them; the dispatch table asks them. An empty entry means
// that the family has no handler for the entry's type.
#pragma once

#include "core/Kernel.h"
#include "isa/OpcodeMap.h"

namespace isa {

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

} // namespace isa
