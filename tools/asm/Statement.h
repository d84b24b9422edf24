// One source line while the assembler works on it: its tokens, a reading position, the
// address it starts at, and the place that its error messages point to.
#pragma once

#include "tools/asm/Assembler.h"

class CAssembler::CStatement : public IExpressionContext {
public:
    CStatement(CAssembler& assembler, size_t sequence, const std::vector<SToken>& tokens,
               int64_t address)
        : tokens(tokens), sequence(sequence), address(address), assembler(assembler) {}

    bool LookupSymbol(const SToken& name, SValue& value) override {
        return assembler.LookupSymbol(*this, name, value);
    }
    int64_t CurrentAddress() const override { return address; }
    void ReportError(uint32_t column, const std::string& message) override {
        assembler.diagnostics.Error(assembler.loader->Locate(sequence, column), message);
    }
    void Error(const SToken& at, const std::string& message) { ReportError(at.column, message); }
    bool ReportsErrors() const { return assembler.diagnostics.AcceptsMessages(); }

    const SToken& Peek(size_t ahead = 0) const {
        const size_t i = index + ahead;
        return i < tokens.size() ? tokens[i] : tokens.back();
    }
    const SToken& Next() {
        const SToken& token = Peek();
        if (!token.IsEnd())
            ++index;
        return token;
    }
    bool AtEnd() const { return Peek().IsEnd(); }
    // Reports anything left on the line.
    bool ExpectEnd() {
        if (AtEnd())
            return true;
        Error(Peek(), "unexpected " + Describe(Peek()));
        return false;
    }
    // An expression from the current position. When it fails, `value` is an unknown 0, so
    // that the caller can still reserve its bytes.
    bool Expression(SValue& value) {
        if (EvaluateExpression(tokens, index, *this, value))
            return true;
        value = SValue::Int(0);
        value.known = false;
        return false;
    }

    // How a message names a token: "x", a string, the end of the line.
    static std::string Describe(const SToken& token) {
        switch (token.kind) {
        case ETokenKind::String:
            return "a string";
        case ETokenKind::End:
            return "the end of the line";
        default:
            return "\"" + token.text + "\"";
        }
    }

    const std::vector<SToken>& tokens;
    size_t index = 0;
    const size_t sequence;
    const int64_t address;

private:
    CAssembler& assembler;
};
