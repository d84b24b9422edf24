#include "tools/dis/Disassembler.h"

#include "isa/OpcodeMap.h"
#include "tools/asm/Mnemonics.h"
#include "tools/asm/Registers.h"
#include "tools/dis/FloatText.h"

#include <cstdio>

namespace {

constexpr size_t kBytesPerDataLine = 8;

std::string Hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

std::string LabelName(uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "L_%04X", address);
    return text;
}

} // namespace

CDisassembler::CDisassembler(std::span<const uint8_t> image, SDisassemblerOptions options)
    : image(image), options(options) {}

SDisassembledInstruction CDisassembler::InstructionAt(uint32_t position) const {
    SDisassembledInstruction result;
    SInstruction instruction;
    if (position < image.size() && Decode(position, instruction)) {
        result.text = FormatInstruction(instruction);
        result.length = instruction.length;
        result.valid = true;
        result.index = instruction.index;
        return result;
    }
    char text[24] = ".byte   ??";
    if (position < image.size())
        std::snprintf(text, sizeof text, ".byte   0x%02X", image[position]);
    result.text = text;
    return result;
}

uint64_t CDisassembler::ReadField(uint32_t position, uint32_t size) const {
    uint64_t value = 0;
    for (uint32_t i = 0; i < size; ++i)
        value |= static_cast<uint64_t>(image[position + i]) << (8 * i);
    return value;
}

bool CDisassembler::Decode(uint32_t position, SInstruction& instruction) const {
    const uint64_t size = image.size();
    if (position + 2ull > size)
        return false;
    const uint8_t head = image[position];
    const uint32_t category = HeadCategory(head);
    if (category >= kOpcodeCategories)
        return false;
    instruction = SInstruction{};
    instruction.index = category * kCodesPerCategory + image[position + 1];
    const SOpcodeInfo& info = GetOpcodeMap()[instruction.index];
    if (!info.IsValid())
        return false;

    // Mode fields that no operand uses must be zero: the syntax has no place for them.
    uint8_t usedBits = EncodeHead(3, 0, 0, 0);
    for (size_t i = 0; i < info.operandCount; ++i) {
        const EModeField field = info.operands[i].mode;
        usedBits |= HeadFieldMask(field);
        instruction.modes[i] = HeadMode(head, field);
    }
    if ((head & ~usedBits) != 0)
        return false;

    uint64_t cursor = position + 2ull;
    for (size_t i = 0; i < info.operandCount; ++i) {
        const SOperandShape& shape = info.operands[i];
        if (shape.kind == EOperandKind::Block && instruction.modes[i] == kModeImmediate) {
            // An immediate block is as long as the count in operand A, which must be an
            // immediate that has already been read.
            if (instruction.modes[0] != kModeImmediate)
                return false;
            const int32_t count = static_cast<int32_t>(ReadField(instruction.fieldStart[0], 4));
            if (count < 0)
                return false;
            instruction.blockCount = static_cast<uint32_t>(count);
        }
        const uint32_t field =
            OperandFieldSize(shape, instruction.modes[i], instruction.blockCount);
        if (cursor + field > size)
            return false;
        instruction.fieldStart[i] = static_cast<uint32_t>(cursor);
        cursor += field;
    }
    instruction.length = static_cast<uint32_t>(cursor - position);
    return true;
}

std::string CDisassembler::FormatAddress(uint32_t address, bool target) const {
    if (target && options.labels && address < labelled.size() && labelled[address])
        return LabelName(address);
    return Hex(address);
}

std::string CDisassembler::FormatBlock(uint32_t start, uint32_t count) const {
    bool printable = true;
    for (uint32_t i = 0; i < count && printable; ++i) {
        const uint8_t c = image[start + i];
        printable = c >= 0x20 && c < 0x7F && c != '"' && c != '\\';
    }
    if (printable && count > 0)
        return "#\"" + std::string(image.begin() + start, image.begin() + start + count) + "\"";
    std::string text = "#{";
    for (uint32_t i = 0; i < count; ++i)
        text += (i ? ", " : "") + Hex(image[start + i]);
    return text + "}";
}

std::string CDisassembler::FormatImmediate(const SInstruction& instruction, size_t operand) const {
    const SOperandShape& shape = GetOpcodeMap()[instruction.index].operands[operand];
    const uint32_t start = instruction.fieldStart[operand];
    if (shape.kind == EOperandKind::Target)
        return "#";
    if (shape.kind == EOperandKind::Block)
        return FormatBlock(start, instruction.blockCount);
    const uint64_t bits = ReadField(start, shape.size);
    switch (shape.type) {
    case EValueType::F32:
        return "#" + FormatF32(static_cast<uint32_t>(bits));
    case EValueType::F64:
        return "#" + FormatF64(bits);
    case EValueType::I8:
        return "#" + std::to_string(static_cast<int8_t>(bits));
    case EValueType::I16:
        return "#" + std::to_string(static_cast<int16_t>(bits));
    case EValueType::I32:
        return "#" + std::to_string(static_cast<int32_t>(bits));
    case EValueType::I64:
        return "#" + std::to_string(static_cast<int64_t>(bits));
    case EValueType::U8:
    case EValueType::U16:
    case EValueType::U32:
    case EValueType::U64:
        return "#" + std::to_string(bits);
    default:
        return "#" + Hex(bits);
    }
}

std::string CDisassembler::FormatOperand(const SInstruction& instruction, size_t operand) const {
    const SOperandShape& shape = GetOpcodeMap()[instruction.index].operands[operand];
    const uint32_t mode = instruction.modes[operand];
    if (mode == 0)
        return "none";
    if (mode == kModeImmediate)
        return FormatImmediate(instruction, operand);
    const uint32_t address = static_cast<uint32_t>(ReadField(instruction.fieldStart[operand], 4));
    const std::string registerName = RegisterName(address);
    if (mode == kModeDirect) {
        if (!registerName.empty())
            return registerName;
        if (shape.kind == EOperandKind::Target)
            return FormatAddress(address, true);
        return "[" + Hex(address) + "]";
    }
    // Indirect: the field names where the address is stored.
    return "[[" + (registerName.empty() ? Hex(address) : registerName) + "]]";
}

std::string CDisassembler::FormatInstruction(const SInstruction& instruction) const {
    const SOpcodeInfo& info = GetOpcodeMap()[instruction.index];
    std::string text = MnemonicOf(instruction.index);
    if (info.operandCount > 0) {
        text.resize(std::max<size_t>(text.size() + 1, 12), ' ');
        for (size_t i = 0; i < info.operandCount; ++i)
            text += (i ? ", " : "") + FormatOperand(instruction, i);
    }
    return text;
}

void CDisassembler::AppendLine(std::string& text, const std::string& code, uint32_t position,
                               uint32_t length) const {
    std::string line = "        " + code;
    if (options.comments) {
        if (line.size() < 48)
            line.resize(48, ' ');
        else
            line += ' ';
        char address[16];
        std::snprintf(address, sizeof address, "; %04X:", position);
        line += address;
        const uint32_t shown = std::min<uint32_t>(length, 12);
        for (uint32_t i = 0; i < shown; ++i) {
            char byte[4];
            std::snprintf(byte, sizeof byte, " %02X", image[position + i]);
            line += byte;
        }
        if (length > shown)
            line += " ...";
    }
    text += line + "\n";
}

void CDisassembler::FlushData(std::string& text, std::vector<uint32_t>& pending) const {
    if (pending.empty())
        return;
    std::string code = ".byte   ";
    for (size_t i = 0; i < pending.size(); ++i) {
        char byte[8];
        std::snprintf(byte, sizeof byte, "%s0x%02X", i ? ", " : "", image[pending[i]]);
        code += byte;
    }
    AppendLine(text, code, pending.front(), static_cast<uint32_t>(pending.size()));
    pending.clear();
}

std::string CDisassembler::Run() {
    // First sweep: where instructions start and which of them direct jumps and calls reach.
    instructionStart.assign(image.size(), false);
    labelled.assign(image.size(), false);
    std::vector<uint32_t> targets;
    for (uint32_t position = 0; position < image.size();) {
        SInstruction instruction;
        if (!Decode(position, instruction)) {
            ++position;
            continue;
        }
        instructionStart[position] = true;
        const SOpcodeInfo& info = GetOpcodeMap()[instruction.index];
        for (size_t i = 0; i < info.operandCount; ++i)
            if (info.operands[i].kind == EOperandKind::Target &&
                instruction.modes[i] == kModeDirect)
                targets.push_back(static_cast<uint32_t>(ReadField(instruction.fieldStart[i], 4)));
        position += instruction.length;
    }
    for (uint32_t target : targets)
        if (target < image.size() && instructionStart[target])
            labelled[target] = true;

    std::string text = "; " + std::to_string(image.size()) + " bytes, loaded at address 0\n";
    std::vector<uint32_t> pending;
    for (uint32_t position = 0; position < image.size();) {
        SInstruction instruction;
        if (!Decode(position, instruction)) {
            pending.push_back(position);
            if (pending.size() == kBytesPerDataLine)
                FlushData(text, pending);
            ++position;
            continue;
        }
        FlushData(text, pending);
        if (options.labels && labelled[position])
            text += LabelName(position) + ":\n";
        AppendLine(text, FormatInstruction(instruction), position, instruction.length);
        position += instruction.length;
    }
    FlushData(text, pending);
    return text;
}
