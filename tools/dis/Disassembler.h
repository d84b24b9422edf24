// Turns program bytes back into assembly source. The source assembles to the very same
// bytes: whatever does not decode as an instruction in the assembler's syntax (free codes,
// unused mode bits that are not zero, fields cut off by the end) is written as .byte data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SDisassemblerOptions {
    bool comments = true; // address and bytes behind every line
    bool labels = true;   // name the targets of direct jumps and calls
};

class CDisassembler {
public:
    explicit CDisassembler(const std::vector<uint8_t>& image, SDisassemblerOptions options = {});

    std::string Run();

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

    const std::vector<uint8_t>& image;
    SDisassemblerOptions options;
    std::vector<bool> instructionStart;
    std::vector<bool> labelled;
};
