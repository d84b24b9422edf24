#include "tools/asm/Expression.h"

#include <cmath>

namespace {

constexpr int kMaxDepth = 200;

class CEvaluator {
public:
    CEvaluator(const std::vector<SToken>& tokens, size_t& index, IExpressionContext& context)
        : tokens(tokens), index(index), context(context) {}

    bool Run(SValue& value) { return Binary(0, value); }

private:
    const SToken& Peek() const { return tokens[index]; }

    bool Fail(const SToken& at, const std::string& message) {
        context.ReportError(at.column, message);
        return false;
    }

    // Binding strength of a binary operator, 0 when the token is none.
    static int Precedence(const SToken& t) {
        if (t.kind != ETokenKind::Punctuation)
            return 0;
        if (t.text == "|")
            return 1;
        if (t.text == "^")
            return 2;
        if (t.text == "&")
            return 3;
        if (t.text == "<<" || t.text == ">>")
            return 4;
        if (t.text == "+" || t.text == "-")
            return 5;
        if (t.text == "*" || t.text == "/" || t.text == "%")
            return 6;
        return 0;
    }

    bool Binary(int minimum, SValue& left) {
        if (!Unary(left))
            return false;
        while (true) {
            const SToken& op = Peek();
            const int precedence = Precedence(op);
            if (precedence == 0 || precedence <= minimum)
                return true;
            ++index;
            SValue right;
            if (!Descend([&] { return Binary(precedence, right); }))
                return false;
            if (!Apply(op, left, right))
                return false;
        }
    }

    template <typename F>
    bool Descend(F&& parse) {
        if (++depth > kMaxDepth) {
            --depth;
            return Fail(Peek(), "expression nested too deeply");
        }
        const bool ok = parse();
        --depth;
        return ok;
    }

    static bool RejectRaw(const SValue& v) { return v.raw; }

    bool Apply(const SToken& op, SValue& left, const SValue& right) {
        const bool known = left.known && right.known;
        if (left.raw || right.raw)
            return Fail(op, "raw(...) gives a whole value and takes no arithmetic");
        const std::string& o = op.text;
        if (left.IsFloat() || right.IsFloat()) {
            if (o != "+" && o != "-" && o != "*" && o != "/")
                return Fail(op, "operator \"" + o + "\" needs integer operands");
            const double a = left.IsFloat() ? left.real : static_cast<double>(left.integer);
            const double b = right.IsFloat() ? right.real : static_cast<double>(right.integer);
            double r = 0;
            if (o == "+")
                r = a + b;
            else if (o == "-")
                r = a - b;
            else if (o == "*")
                r = a * b;
            else {
                if (b == 0) {
                    if (!known)
                        r = 0;
                    else
                        return Fail(op, "division by zero");
                } else {
                    r = a / b;
                }
            }
            if (std::isinf(r) || std::isnan(r))
                return Fail(op, "floating-point result out of range");
            left = SValue::Real(r);
            left.known = known;
            return true;
        }
        // Integers wrap around in 64 bits, as the machine's own arithmetic does.
        const uint64_t a = static_cast<uint64_t>(left.integer);
        const uint64_t b = static_cast<uint64_t>(right.integer);
        uint64_t r = 0;
        if (o == "+")
            r = a + b;
        else if (o == "-")
            r = a - b;
        else if (o == "*")
            r = a * b;
        else if (o == "/" || o == "%") {
            if (b == 0) {
                if (known)
                    return Fail(op,
                                o == "/" ? "division by zero" : "remainder of division by zero");
                r = 0;
            } else if (left.integer == INT64_MIN && right.integer == -1) {
                r = o == "/" ? a : 0;
            } else {
                r = static_cast<uint64_t>(o == "/" ? left.integer / right.integer
                                                   : left.integer % right.integer);
            }
        } else if (o == "<<" || o == ">>") {
            if (right.integer < 0 || right.integer > 63) {
                if (known)
                    return Fail(op, "shift count " + std::to_string(right.integer) +
                                        " outside 0 to 63");
                r = 0;
            } else if (o == "<<") {
                r = a << right.integer;
            } else {
                r = static_cast<uint64_t>(left.integer >> right.integer);
            }
        } else if (o == "&")
            r = a & b;
        else if (o == "|")
            r = a | b;
        else
            r = a ^ b;
        left = SValue::Int(static_cast<int64_t>(r));
        left.known = known;
        return true;
    }

    bool Unary(SValue& value) {
        const SToken& t = Peek();
        if (t.Is("-") || t.Is("+") || t.Is("~")) {
            ++index;
            if (!Descend([&] { return Unary(value); }))
                return false;
            if (value.raw)
                return Fail(t, "raw(...) gives a whole value and takes no arithmetic");
            if (t.Is("-")) {
                if (value.IsFloat())
                    value.real = -value.real;
                else
                    value.integer = static_cast<int64_t>(0 - static_cast<uint64_t>(value.integer));
            } else if (t.Is("~")) {
                if (value.IsFloat())
                    return Fail(t, "operator \"~\" needs an integer operand");
                value.integer = ~value.integer;
            }
            return true;
        }
        return Primary(value);
    }

    bool Primary(SValue& value) {
        const SToken& t = Peek();
        switch (t.kind) {
        case ETokenKind::Integer:
            ++index;
            value = SValue::Int(static_cast<int64_t>(t.integer));
            return true;
        case ETokenKind::Float:
            ++index;
            value = SValue::Real(t.real);
            return true;
        case ETokenKind::Identifier:
            if (tokens[index + 1].Is("(") && t.text == "raw")
                return Raw(value);
            [[fallthrough]];
        case ETokenKind::DotIdentifier:
            ++index;
            if (!context.LookupSymbol(t, value)) {
                if (value.known)
                    return false; // reported by the context
            }
            return true;
        case ETokenKind::Punctuation:
            if (t.Is("$")) {
                ++index;
                value = SValue::Int(context.CurrentAddress());
                return true;
            }
            if (t.Is("(")) {
                ++index;
                if (!Descend([&] { return Binary(0, value); }))
                    return false;
                if (!Peek().Is(")"))
                    return Fail(Peek(), "missing \")\"");
                ++index;
                return true;
            }
            break;
        case ETokenKind::String:
            return Fail(t, "a string cannot stand in an expression");
        case ETokenKind::End:
            return Fail(t, "expression expected");
        }
        return Fail(t, "unexpected \"" + t.text + "\" in an expression");
    }

    bool Raw(SValue& value) {
        const SToken& name = Peek();
        index += 2; // raw (
        if (!Descend([&] { return Binary(0, value); }))
            return false;
        if (!Peek().Is(")"))
            return Fail(Peek(), "missing \")\"");
        ++index;
        if (value.IsFloat() || value.raw)
            return Fail(name, "raw(...) takes an integer bit pattern");
        value.raw = true;
        return true;
    }

    const std::vector<SToken>& tokens;
    size_t& index;
    IExpressionContext& context;
    int depth = 0;
};

} // namespace

bool EvaluateExpression(const std::vector<SToken>& tokens, size_t& index,
                        IExpressionContext& context, SValue& value) {
    value = SValue{};
    return CEvaluator(tokens, index, context).Run(value);
}

bool StartsExpression(const SToken& token) {
    switch (token.kind) {
    case ETokenKind::Integer:
    case ETokenKind::Float:
    case ETokenKind::Identifier:
    case ETokenKind::DotIdentifier:
        return true;
    case ETokenKind::Punctuation:
        return token.Is("-") || token.Is("+") || token.Is("~") || token.Is("(") || token.Is("$");
    default:
        return false;
    }
}
