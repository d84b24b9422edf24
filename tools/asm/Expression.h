// Constant expressions of the assembly language: 64-bit integers and doubles with the
// operators + - * / % << >> & | ^ ~ and parentheses, symbols, "$" (the address of the
// current statement) and raw(bits), which gives a floating-point slot an exact bit pattern.
#pragma once

#include "tools/asm/Lexer.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct SValue {
    enum class EKind : uint8_t { Integer, Float };
    EKind kind = EKind::Integer;
    int64_t integer = 0;
    double real = 0;
    bool raw = false;  // an exact bit pattern from raw(...)
    bool known = true; // false while a symbol it uses is not defined yet

    static SValue Int(int64_t value) {
        SValue v;
        v.integer = value;
        return v;
    }
    static SValue Real(double value) {
        SValue v;
        v.kind = EKind::Float;
        v.real = value;
        return v;
    }
    bool IsFloat() const { return kind == EKind::Float; }
};

class IExpressionContext {
public:
    virtual ~IExpressionContext() = default;
    // Looks up a name (an identifier or a ".local" name); false when unknown, in which
    // case the context has reported it or the value stays unknown.
    virtual bool LookupSymbol(const SToken& name, SValue& value) = 0;
    virtual int64_t CurrentAddress() const = 0;
    virtual void ReportError(uint32_t column, const std::string& message) = 0;
};

// Parses and evaluates one expression from tokens[index], leaving index behind it. False
// after an error, which has been reported through the context.
bool EvaluateExpression(const std::vector<SToken>& tokens, size_t& index,
                        IExpressionContext& context, SValue& value);

// True when the token can start an expression.
bool StartsExpression(const SToken& token);
