// Instructions: the mnemonic picks the opcode map entry, whose operand shapes say how each
// operand is written and how many bytes its field takes.
//
// Operand syntax:  #value   immediate (sized by the mnemonic)
//                  [addr]   direct: the bytes at addr
//                  [[addr]] indirect: the bytes at the address stored at addr
//                  r0..r31, sp, base, ip   direct on that register
//                  none     no operand (mode 0)
// A bare expression is an immediate where the operand is only read, and the target itself
// (direct) for jumps and calls. Operands that are written need one of the explicit forms.
// An immediate block is a string or a list in braces: #"text", #{1, 2, "abc"}.
#include "tools/asm/AsciiText.h"
#include "tools/asm/Assembler.h"

#include "isa/OpcodeMap.h"
#include "tools/asm/Mnemonics.h"
#include "tools/asm/Registers.h"
#include "tools/asm/Statement.h"

#include <cctype>

struct CAssembler::SOperandText {
    size_t begin = 0, end = 0; // tokens of the operand
    uint32_t mode = 0;
    bool isRegister = false;
    uint32_t registerAddress = 0;
    size_t expressionBegin = 0, expressionEnd = 0;
    bool hasExpression = false;
    bool isBlock = false; // an immediate block: `block` holds its bytes
    std::vector<uint8_t> block;
    bool countFromBlock = false; // "#" alone as the count of a block instruction
    SValue value;
};

namespace {

const char* Ordinal(size_t i) {
    static const char* names[] = {"first", "second", "third"};
    return i < 3 ? names[i] : "next";
}

} // namespace

bool CAssembler::SplitOperands(CStatement& s, std::vector<SOperandText>& operands) {
    if (s.AtEnd())
        return true;
    int depth = 0;
    SOperandText current;
    current.begin = s.index;
    for (;; s.Next()) {
        const SToken& t = s.Peek();
        if (t.Is("(") || t.Is("[") || t.Is("{"))
            ++depth;
        else if (t.Is(")") || t.Is("]") || t.Is("}"))
            --depth;
        if (depth < 0) {
            s.Error(t, "unexpected " + CStatement::Describe(t) + " without its opening bracket");
            return false;
        }
        if (t.IsEnd() && depth > 0) {
            s.Error(t, "a bracket is not closed");
            return false;
        }
        if (t.IsEnd() || (depth == 0 && t.Is(","))) {
            current.end = s.index;
            if (current.begin == current.end) {
                s.Error(t, "operand missing");
                return false;
            }
            operands.push_back(current);
            if (t.IsEnd())
                return true;
            current = SOperandText{};
            current.begin = s.index + 1;
        }
    }
}

void CAssembler::Instruction(CStatement& s) {
    const SToken& mnemonic = s.Next();
    const int32_t index = LookupMnemonic(mnemonic.text);
    if (index < 0) {
        // The suggestion scans the whole map: not in trial passes or after the error limit.
        if (!s.ReportsErrors())
            return;
        std::string message = "unknown instruction \"" + mnemonic.text + "\"";
        const auto typed = MnemonicsStartingWith(mnemonic.text);
        if (!typed.empty()) {
            message += ": the type is part of the name, as in " + typed.front();
            if (typed.size() > 1)
                message += " or " + typed.back();
        }
        s.Error(mnemonic, message);
        return;
    }
    lineIsInstruction = true;
    const SOpcodeInfo& info = GetOpcodeMap()[static_cast<size_t>(index)];
    std::vector<SOperandText> operands;
    if (!SplitOperands(s, operands))
        return;
    if (operands.size() != info.operandCount) {
        s.Error(mnemonic, MnemonicOf(static_cast<uint32_t>(index)) + " takes " +
                              std::to_string(info.operandCount) +
                              (info.operandCount == 1 ? " operand" : " operands") + ", not " +
                              std::to_string(operands.size()));
        return;
    }
    for (size_t i = 0; i < operands.size(); ++i)
        if (!ParseOperand(s, info.operands[i], operands[i]))
            return;

    // Immediate blocks take their size from the count in operand A, so that count must be
    // an immediate too; "#" alone takes the block's length as the count.
    size_t blockLength = 0;
    const SOperandText* firstBlock = nullptr;
    for (size_t i = 1; i < operands.size(); ++i) {
        if (!operands[i].isBlock)
            continue;
        if (firstBlock && operands[i].block.size() != firstBlock->block.size()) {
            s.Error(s.tokens[operands[i].begin], "the two immediate blocks differ in length");
            return;
        }
        firstBlock = &operands[i];
        blockLength = operands[i].block.size();
    }
    for (size_t i = 0; i < operands.size(); ++i) {
        if (operands[i].countFromBlock && (i != 0 || !firstBlock)) {
            s.Error(s.tokens[operands[i].begin], "\"#\" needs a value here");
            return;
        }
    }
    if (firstBlock && operands[0].mode != kModeImmediate) {
        s.Error(s.tokens[firstBlock->begin],
                "an immediate block needs its count as an immediate in the first operand");
        return;
    }

    // Values: a failed expression still reserves its field, so the layout stays the same.
    for (size_t i = 0; i < operands.size(); ++i) {
        SOperandText& op = operands[i];
        if (op.countFromBlock) {
            op.value = SValue::Int(static_cast<int64_t>(blockLength));
        } else if (op.hasExpression) {
            s.index = op.expressionBegin;
            if (s.Expression(op.value) && s.index != op.expressionEnd)
                s.Error(s.Peek(), "unexpected " + CStatement::Describe(s.Peek()) + " in the " +
                                      Ordinal(i) + " operand");
        }
    }
    if (firstBlock && operands[0].value.known && !operands[0].value.IsFloat() &&
        operands[0].value.integer != static_cast<int64_t>(blockLength)) {
        s.Error(s.tokens[operands[0].begin],
                "the count " + std::to_string(operands[0].value.integer) + " differs from the " +
                    std::to_string(blockLength) + " bytes of the immediate block");
    }

    uint32_t modes[3] = {0, 0, 0};
    for (size_t i = 0; i < operands.size(); ++i)
        modes[static_cast<size_t>(info.operands[i].mode)] = operands[i].mode;
    const uint32_t category = static_cast<uint32_t>(index) / kCodesPerCategory;
    const uint32_t code = static_cast<uint32_t>(index) % kCodesPerCategory;
    uint64_t size = 2;
    for (size_t i = 0; i < operands.size(); ++i)
        size += OperandFieldSize(info.operands[i], operands[i].mode,
                                 static_cast<uint32_t>(blockLength));
    if (!CanGrow(size, s, mnemonic))
        return;
    EmitInteger(EncodeHead(category, modes[0], modes[1], modes[2]), 1);
    EmitInteger(code, 1);
    for (size_t i = 0; i < operands.size(); ++i)
        EmitOperand(s, info.operands[i], operands[i]);
}

bool CAssembler::ParseOperand(CStatement& s, const SOperandShape& shape, SOperandText& op) {
    const std::vector<SToken>& t = s.tokens;
    const SToken& first = t[op.begin];
    const size_t count = op.end - op.begin;
    const bool isTarget = shape.kind == EOperandKind::Target;
    const bool isBlock = shape.kind == EOperandKind::Block;
    auto expression = [&](size_t begin, size_t end) {
        op.hasExpression = true;
        op.expressionBegin = begin;
        op.expressionEnd = end;
        if (begin == end) {
            s.Error(t[begin], "value expected");
            return false;
        }
        return true;
    };
    auto blockData = [&](size_t begin) {
        op.mode = kModeImmediate;
        op.isBlock = true;
        return ParseBlockData(s, begin, op.end, op.block);
    };

    if (count == 1 && first.kind == ETokenKind::Identifier && AsciiLower(first.text) == "none") {
        op.mode = 0;
        return true;
    }
    if (first.Is("#")) {
        op.mode = kModeImmediate;
        if (count == 1) {
            if (isTarget)
                return true; // continues behind the head: no field
            op.countFromBlock = true;
            return true;
        }
        if (isTarget) {
            s.Error(first, "an immediate target has no value: write \"#\" alone, or the "
                           "target address without \"#\"");
            return false;
        }
        if (isBlock)
            return blockData(op.begin + 1);
        return expression(op.begin + 1, op.end);
    }
    if (first.Is("[")) {
        const bool indirect = count >= 2 && t[op.begin + 1].Is("[");
        const size_t brackets = indirect ? 2 : 1;
        bool closed = count >= 2 * brackets + 1;
        for (size_t i = 1; closed && i <= brackets; ++i)
            closed = t[op.end - i].Is("]");
        if (!closed) {
            s.Error(first, indirect ? "\"[[\" needs \"]]\" at the end of the operand"
                                    : "\"[\" needs \"]\" at the end of the operand");
            return false;
        }
        op.mode = indirect ? kModeIndirect : kModeDirect;
        return expression(op.begin + brackets, op.end - brackets);
    }
    if (count == 1 && first.kind == ETokenKind::Identifier &&
        LookupRegister(first.text, op.registerAddress)) {
        op.mode = kModeDirect;
        op.isRegister = true;
        return true;
    }
    if (isBlock && (first.kind == ETokenKind::String || first.Is("{")))
        return blockData(op.begin);
    if (isTarget) {
        op.mode = kModeDirect;
        return expression(op.begin, op.end);
    }
    if (shape.role == EOperandRole::Read && !isBlock) {
        op.mode = kModeImmediate;
        return expression(op.begin, op.end);
    }
    s.Error(first, isBlock ? "a block operand needs [address], [[pointer]], a register, or an "
                             "immediate block such as #\"text\" or #{1, 2, 3}"
                           : "this operand is written: give [address], [[pointer]], a "
                             "register, or an explicit #immediate");
    return false;
}

bool CAssembler::ParseBlockData(CStatement& s, size_t begin, size_t end,
                                std::vector<uint8_t>& bytes) {
    const std::vector<SToken>& t = s.tokens;
    if (end - begin == 1 && t[begin].kind == ETokenKind::String) {
        bytes.assign(t[begin].text.begin(), t[begin].text.end());
        return true;
    }
    if (!t[begin].Is("{") || !t[end - 1].Is("}") || end - begin < 2) {
        s.Error(t[begin], "an immediate block is a string or a list in braces: {1, 2, \"abc\"}");
        return false;
    }
    s.index = begin + 1;
    if (s.index == end - 1)
        return true; // {}
    while (true) {
        const SToken& item = s.Peek();
        if (item.kind == ETokenKind::String) {
            s.Next();
            bytes.insert(bytes.end(), item.text.begin(), item.text.end());
        } else {
            SValue value;
            if (!s.Expression(value))
                return false;
            if (value.known &&
                (value.IsFloat() || value.raw || value.integer < -128 || value.integer > 255)) {
                s.Error(item, "a block item is a byte (-128 to 255) or a string");
                return false;
            }
            bytes.push_back(static_cast<uint8_t>(value.integer));
        }
        if (s.index == end - 1)
            return true;
        if (!s.Peek().Is(",")) {
            s.Error(s.Peek(), "\",\" or \"}\" expected in the block");
            return false;
        }
        s.Next();
    }
}

void CAssembler::EmitOperand(CStatement& s, const SOperandShape& shape, const SOperandText& op) {
    const SToken& at = s.tokens[op.begin];
    switch (op.mode) {
    case 0:
        return;
    case kModeImmediate:
        if (shape.kind == EOperandKind::Target)
            return;
        if (shape.kind == EOperandKind::Block) {
            EmitBytes(op.block.data(), op.block.size());
            return;
        }
        EmitValue(s, op.value, shape.size, IsFloatType(shape.type), at);
        return;
    default:
        if (op.isRegister) {
            EmitInteger(op.registerAddress, 4);
            return;
        }
        if (op.value.known && (op.value.IsFloat() || op.value.raw)) {
            s.Error(at, "an address must be an integer");
            EmitInteger(0, 4);
            return;
        }
        if (op.value.known && (op.value.integer < INT32_MIN || op.value.integer > UINT32_MAX)) {
            s.Error(at, "address " + std::to_string(op.value.integer) + " does not fit in 32 bits");
            EmitInteger(0, 4);
            return;
        }
        EmitInteger(static_cast<uint64_t>(op.value.integer), 4);
    }
}
