// Instruction encoding: a head byte (category and three mode fields), a code byte, then
// one field per operand. How wide each field is depends on its mode and on the operand's
// shape in the opcode map (isa/OpcodeMap.h).
#pragma once

#include <cstdint>

// Addressing modes of an operand field.
enum EOperandMode : uint32_t {
    kModeNone = 0,      // no operand, no field
    kModeImmediate = 1, // the value itself follows
    kModeDirect = 2,    // a dword address of the value follows
    kModeIndirect = 3,  // a dword address of the value's address follows
};

// Which head field gives an operand's addressing mode.
enum class EModeField : uint8_t { ModeA, ModeB, FieldC };

// The head byte: category in bits 7-6, mode A in 5-4, mode B in 3-2, field C in 1-0.
inline constexpr uint32_t kHeadModeBits = 0x3F; // the three mode fields together

constexpr uint8_t EncodeHead(uint32_t category, uint32_t modeA, uint32_t modeB, uint32_t fieldC) {
    return static_cast<uint8_t>(((category & 3) << 6) | ((modeA & 3) << 4) | ((modeB & 3) << 2) |
                                (fieldC & 3));
}
constexpr uint32_t HeadCategory(uint32_t head) {
    return (head >> 6) & 3;
}
constexpr uint32_t HeadModeA(uint32_t head) {
    return (head >> 4) & 3;
}
constexpr uint32_t HeadModeB(uint32_t head) {
    return (head >> 2) & 3;
}
constexpr uint32_t HeadFieldC(uint32_t head) {
    return head & 3;
}
constexpr uint32_t HeadMode(uint32_t head, EModeField field) {
    switch (field) {
    case EModeField::ModeA:
        return HeadModeA(head);
    case EModeField::ModeB:
        return HeadModeB(head);
    default:
        return HeadFieldC(head);
    }
}
// The head bits that a mode field occupies.
constexpr uint8_t HeadFieldMask(EModeField field) {
    return EncodeHead(0, field == EModeField::ModeA ? 3 : 0, field == EModeField::ModeB ? 3 : 0,
                      field == EModeField::FieldC ? 3 : 0);
}
