// What an instruction may write, as far as its head word tells, for the debugger's checked
// slices: after an instruction that cannot have changed a watched byte, the watched words
// need no compare. Most instructions write one value to a register named by a direct field;
// the field's value, read before the instruction runs, says whether it is a register.
#pragma once

#include <cstdint>

enum class EHeadWrites : uint8_t {
    Nothing,       // no byte of data memory or of the register block (jumps, SKIP, NOP)
    DirectOperand, // one value through the direct field `fieldOffset` bytes after the head
    Anything,      // stack, blocks, system calls, pointers, invalid codes, ...
};

struct SHeadWrites {
    EHeadWrites kind = EHeadWrites::Anything;
    uint32_t fieldOffset = 0; // DirectOperand: from the head, at most kLongestWriteOffset
};

// The largest field offset DirectOperand gives: a head and two immediate qwords before it.
inline constexpr uint32_t kLongestWriteOffset = 18;

// For a head word (head byte | code << 8), from the opcode map.
SHeadWrites DescribeHeadWrites(uint32_t word);
