// Assembles small machine programs for tests: instruction heads from the opcode map and
// operand fields in stream order. Immediate fields are checked against the operand sizes
// that the map gives, so a test cannot silently encode a different instruction.
#pragma once

#include "isa/OpcodeMap.h"

#include <cstring>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct SOperand {
    uint32_t mode = 0;
    std::vector<uint8_t> field;
};

// An immediate value: its little-endian bytes inline.
template <typename T>
SOperand Imm(T value) {
    SOperand operand{1, std::vector<uint8_t>(sizeof(T))};
    std::memcpy(operand.field.data(), &value, sizeof(T));
    return operand;
}
// An immediate block: the bytes inline.
inline SOperand ImmBlock(std::vector<uint8_t> bytes) {
    return {1, std::move(bytes)};
}
// An immediate jump target: no field at all.
inline SOperand ImmTarget() {
    return {1, {}};
}
inline SOperand Dir(uint32_t address) {
    return {2, std::vector<uint8_t>(Imm(address).field)};
}
inline SOperand Ind(uint32_t address) {
    return {3, std::vector<uint8_t>(Imm(address).field)};
}
inline SOperand NoOperand() {
    return {0, {}};
}

class CProgramBuilder {
public:
    // The primary code of a mnemonic, with its operands in stream order (A, B, C).
    CProgramBuilder& Emit(std::string_view mnemonic,
                          std::initializer_list<SOperand> operands = {}) {
        const int32_t index = FindOpcode(mnemonic);
        if (index < 0)
            throw std::invalid_argument("unknown mnemonic " + std::string(mnemonic));
        return EmitCode(static_cast<uint32_t>(index) / kCodesPerCategory,
                        static_cast<uint32_t>(index) % kCodesPerCategory, operands);
    }

    // Any code, listed or free; extra operands beyond the map's are encoded as given.
    CProgramBuilder& EmitCode(uint32_t category, uint32_t code,
                              std::initializer_list<SOperand> operands = {}) {
        const SOpcodeInfo& info = GetOpcodeInfo(category % 3, code);
        uint32_t modes[3] = {0, 0, 0};
        size_t i = 0;
        for (const SOperand& operand : operands) {
            if (i < 3)
                modes[i] = operand.mode;
            if (info.IsValid() && i < info.operandCount) {
                const SOperandShape& shape = info.operands[i];
                if (operand.mode == 1 && shape.kind == EOperandKind::Value &&
                    operand.field.size() != shape.size)
                    throw std::invalid_argument("immediate of the wrong size for " + info.mnemonic);
            }
            ++i;
        }
        bytes.push_back(EncodeHead(category, modes[0], modes[1], modes[2]));
        bytes.push_back(static_cast<uint8_t>(code));
        for (const SOperand& operand : operands)
            bytes.insert(bytes.end(), operand.field.begin(), operand.field.end());
        return *this;
    }

    // A raw head, for heads that no mnemonic gives (category 3, field C of two-operand codes).
    CProgramBuilder& Head(uint8_t head, uint8_t code) { return Raw({head, code}); }
    CProgramBuilder& Raw(std::initializer_list<uint8_t> raw) {
        bytes.insert(bytes.end(), raw);
        return *this;
    }
    template <typename T>
    CProgramBuilder& Value(T value) {
        const SOperand operand = Imm(value);
        bytes.insert(bytes.end(), operand.field.begin(), operand.field.end());
        return *this;
    }

    uint32_t Size() const { return static_cast<uint32_t>(bytes.size()); }
    const std::vector<uint8_t>& Bytes() const { return bytes; }

private:
    std::vector<uint8_t> bytes;
};
