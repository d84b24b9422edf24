// Turns program bytes back into assembly source. The source assembles to the very same
// bytes: whatever does not decode as an instruction in the assembler's syntax (free codes,
// unused mode bits that are not zero, fields cut off by the end) is written as .byte data.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct SDisassemblerOptions {
    bool comments = true; // address and bytes behind every line
    bool labels = true;   // name the targets of direct jumps and calls
};

// One instruction, as a program listing or a debugger shows it.
struct SDisassembledInstruction {
    std::string text;    // as the program writes it with --plain --no-labels
    uint32_t length = 1; // bytes taken; 1 for a byte that does not decode
    bool valid = false;  // false: the text is a ".byte" of the first byte
    uint32_t index = 0;  // the opcode map entry (category * 256 + code) when valid
};

class CDisassembler {
public:
    // `image` is the program loaded at address 0 (or a machine's data memory); it must
    // outlive the disassembler.
    explicit CDisassembler(std::span<const uint8_t> image, SDisassemblerOptions options = {});

    std::string Run();
    // The instruction whose head is at `position`, targets written as numbers.
    SDisassembledInstruction InstructionAt(uint32_t position) const;

private:
    struct SInstruction {
        uint32_t index = 0;     // opcode map entry
        uint32_t modes[3] = {}; // per operand, in operand order
        uint32_t fieldStart[3] = {};
        uint32_t blockCount = 0;
        uint32_t length = 0;
    };

    bool Decode(uint32_t position, SInstruction& instruction) const;
    std::string FormatInstruction(const SInstruction& instruction) const;
    std::string FormatOperand(const SInstruction& instruction, size_t operand) const;
    std::string FormatImmediate(const SInstruction& instruction, size_t operand) const;
    std::string FormatBlock(uint32_t start, uint32_t count) const;
    std::string FormatAddress(uint32_t address, bool target) const;
    uint64_t ReadField(uint32_t position, uint32_t size) const;
    void AppendLine(std::string& text, const std::string& code, uint32_t position,
                    uint32_t length) const;
    void FlushData(std::string& text, std::vector<uint32_t>& pending) const;

    std::span<const uint8_t> image;
    SDisassemblerOptions options;
    std::vector<bool> instructionStart;
    std::vector<bool> labelled;
};
