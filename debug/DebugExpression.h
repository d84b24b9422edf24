// Expressions over the machine's state, for breakpoint conditions, "print" and "set":
//
//   r0 == 3            [0x100].32 > 10          [counter].i16 < -1 && r4.8 != 0
//
// Operands are numbers (decimal, 0x-hex, decimal fractions), labels and constants of the
// symbols, registers (r0 ... r31 by byte offset, sp, base, ip) and memory in brackets; a
// register or memory operand reads 4 bytes as an unsigned number unless a suffix says
// otherwise (.8 .16 .32 .64 unsigned, .u8 ... .u64, .i8 ... .i64 signed, .f32 .f64 floats).
// Addresses are absolute: BASE is not added. Operators as in C: || && | ^ & == != < <= > >=
// << >> + - * / % and the unary - ! ~, with parentheses.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class CMemory;
class CSymbolFile;

struct SDebugValue {
    bool isFloat = false;
    int64_t integer = 0;
    double real = 0.0;

    double AsReal() const { return isFloat ? real : static_cast<double>(integer); }
    bool IsTrue() const { return isFloat ? real != 0.0 : integer != 0; }
    // "42 (0x2a)" for a number, the shortest exact text for a float.
    std::string Format() const;
};

// Where a value lives: `size` bytes at an absolute address, read as kind 'u', 'i' or 'f'.
struct SDebugPlace {
    uint32_t address = 0;
    uint32_t size = 4;
    char kind = 'u';
};

class CDebugExpression {
public:
    CDebugExpression();
    ~CDebugExpression();
    CDebugExpression(CDebugExpression&&) noexcept;
    CDebugExpression& operator=(CDebugExpression&&) noexcept;

    // False with a reason for text that is not an expression. Names are looked up when the
    // expression is evaluated, so symbols loaded later count.
    bool Parse(const std::string& text, std::string& error);
    bool IsEmpty() const { return !root; }
    const std::string& GetText() const { return text; }

    // The value now; false with a reason (an unknown name, memory outside the machine, a
    // division by zero).
    bool Evaluate(const CMemory& memory, const CSymbolFile& symbols, SDebugValue& value,
                  std::string& error) const;
    // The place the expression names, when it is a register or a memory operand.
    bool EvaluatePlace(const CMemory& memory, const CSymbolFile& symbols, SDebugPlace& place,
                       std::string& error) const;

    // Reads and writes a place (false outside the machine).
    static bool ReadPlace(const CMemory& memory, const SDebugPlace& place, SDebugValue& value);
    static bool WritePlace(CMemory& memory, const SDebugPlace& place, const SDebugValue& value);

    struct SNode;

private:
    std::string text;
    std::unique_ptr<SNode> root;
};
