// The instruction families. Each family file turns an opcode-map entry's type into the
// handler instantiated for it; the dispatch table asks them.
#pragma once

#include "core/Kernel.h"
#include "isa/OpcodeMap.h"

namespace isa {

// Category 0
InstructionHandler SelectConversionHandler(EFamily family, EValueType type);
InstructionHandler SelectMoveHandler(EFamily family, EValueType type);  // MOV, CLR, FILL, SWAP
InstructionHandler SelectBlockHandler(EFamily family);                  // MOVB, CLRB, SWAPB
InstructionHandler SelectStackHandler(EFamily family, EValueType type); // PUSH ... POPR
InstructionHandler SelectControlHandler(EFamily family, EValueType type);
// Category 1
InstructionHandler SelectArithmeticHandler(EValueType type);
InstructionHandler SelectIncDecNegHandler(EValueType type);
InstructionHandler SelectLogicHandler(EFamily family, EValueType type); // AND/OR/XOR, NOT
InstructionHandler SelectShiftHandler(EValueType type);
InstructionHandler SelectBooleanHandler(EFamily family, EValueType type);
InstructionHandler SelectComparisonHandler(EFamily family, EValueType type);
// Category 2
InstructionHandler SelectAbsSignHandler(EValueType type);
InstructionHandler SelectOddHandler(EValueType type);
InstructionHandler SelectRandomHandler(EValueType type);
InstructionHandler SelectMathFunctionHandler(EValueType type);
InstructionHandler SelectBinaryFunctionHandler(EValueType type);

} // namespace isa
