// MOVB, CLRB and SWAPB: blocks of a count of bytes that operand A gives. The bytes are used
// in place, so a count of any size costs no allocation; a count below 1 or a range outside
// one area is refused by the memory before anything is touched.
#include "isa/BlockAccess.h"
#include "isa/Handlers.h"
#include "isa/InstructionSupport.h"

#include <algorithm>

namespace isa {
namespace {

// Copies as if the source were read completely before the destination is written.
constexpr auto MoveBlock = [](OperandAccess auto& kernel, uint32_t modeA, uint32_t modeB,
                              uint32_t fieldC, uint32_t) {
    int32_t count;
    if (!kernel.ReadOperand(count, modeA))
        return MemoryFault(kernel);
    CBlockSource source;
    if (!source.Locate(kernel, count, modeB))
        return MemoryFault(kernel);
    uint32_t destination;
    if (!kernel.GetOperandAddress(destination, fieldC, static_cast<uint32_t>(count)) ||
        !kernel.WriteBlock(destination, source.Bytes(), count))
        return MemoryFault(kernel);
    return false;
};

constexpr auto ClearBlock = [](OperandAccess auto& kernel, uint32_t modeA, uint32_t modeB, uint32_t,
                               uint32_t) {
    int32_t count;
    uint32_t address;
    if (!kernel.ReadOperand(count, modeA) ||
        !kernel.GetOperandAddress(address, modeB, static_cast<uint32_t>(count)) ||
        !kernel.ClearBlock(address, count))
        return MemoryFault(kernel);
    return false;
};

// Ranges that share a byte (or start at the same address) are refused as a whole.
bool Overlap(uint32_t b, uint32_t c, int32_t count) {
    const int64_t first = static_cast<int32_t>(b);
    const int64_t second = static_cast<int32_t>(c);
    return first == second || (first < second && first + count > second) ||
           (second < first && second + count > first);
}

constexpr auto SwapBlock = [](MachineAccess auto& kernel, uint32_t modeA, uint32_t modeB,
                              uint32_t fieldC, uint32_t) {
    int32_t count;
    uint32_t b;
    uint32_t c;
    if (!kernel.ReadOperand(count, modeA) ||
        !kernel.GetOperandAddress(b, modeB, static_cast<uint32_t>(count)) ||
        !kernel.GetOperandAddress(c, fieldC, static_cast<uint32_t>(count)))
        return MemoryFault(kernel);
    if (Overlap(b, c, count)) {
        kernel.Fail("Memory overlap");
        return true;
    }
    if (count <= 0)
        return false;
    uint8_t* first = kernel.LocateContiguous(b, count);
    uint8_t* second = kernel.LocateContiguous(c, count);
    if (first && second) {
        NoteBlockRead(kernel, first, count);
        NoteBlockRead(kernel, second, count);
        std::swap_ranges(first, first + count, second);
        return false;
    }
    // Byte by byte, each address on its own, up to the first byte that is not accessible.
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t x = b + static_cast<uint32_t>(i);
        const uint32_t y = c + static_cast<uint32_t>(i);
        uint8_t fromB;
        uint8_t fromC;
        if (!kernel.ReadMemory(x, fromB) || !kernel.ReadMemory(y, fromC) ||
            !kernel.WriteMemory(x, fromC) || !kernel.WriteMemory(y, fromB))
            return MemoryFault(kernel);
    }
    return false;
};

} // namespace

// SWAPB can stop the machine with its own message, which the specialised forms cannot.
SDispatchEntry SelectBlockHandler(const SOpcodeInfo& info) {
    constexpr SForms kSpecialised{.specialised = kAllParameters};
    switch (info.family) {
    case EFamily::MoveBlock:
        return Register<MoveBlock, kSpecialised>(info);
    case EFamily::ClearBlock:
        return Register<ClearBlock, kSpecialised>(info);
    case EFamily::SwapBlock:
        return Register<SwapBlock>(info);
    default:
        return {};
    }
}

} // namespace isa
