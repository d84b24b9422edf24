#include "debug/DebugExpression.h"

#include "debug/MachineBytes.h"
#include "tools/asm/Registers.h"
#include "tools/asm/SymbolFile.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

struct CDebugExpression::SNode {
    enum class EKind { Number, Real, Name, Memory, Unary, Binary };
    EKind kind = EKind::Number;
    int64_t number = 0;
    double real = 0.0;
    std::string name; // Name: the identifier as written; Unary, Binary: the operator
    std::string suffix;
    std::unique_ptr<SNode> left, right;
};

namespace {

using SNode = CDebugExpression::SNode;
using EKind = SNode::EKind;

struct SToken {
    enum class EType { Number, Real, Name, Operator, Suffix, End };
    EType type = EType::End;
    std::string text;
    int64_t number = 0;
    double real = 0.0;
};

bool IsNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.';
}

bool Tokenize(const std::string& text, std::vector<SToken>& tokens, std::string& error) {
    static const char* const kOperators[] = {"||", "&&", "==", "!=", "<=", ">=", "<<", ">>",
                                             "|",  "^",  "&",  "<",  ">",  "+",  "-",  "*",
                                             "/",  "%",  "!",  "~",  "(",  ")",  "[",  "]"};
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
            continue;
        }
        SToken token;
        if (std::isdigit(static_cast<unsigned char>(c))) {
            size_t end = i;
            while (end < text.size() &&
                   (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '.'))
                ++end;
            const std::string word = text.substr(i, end - i);
            char* stop = nullptr;
            errno = 0;
            const bool hex =
                word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X');
            if (!hex && word.find('.') != std::string::npos) {
                token.type = SToken::EType::Real;
                token.real = std::strtod(word.c_str(), &stop);
            } else {
                token.type = SToken::EType::Number;
                token.number = static_cast<int64_t>(
                    std::strtoull(word.c_str() + (hex ? 2 : 0), &stop, hex ? 16 : 10));
            }
            if (errno != 0 || *stop != '\0') {
                error = "\"" + word + "\" is not a number";
                return false;
            }
            i = end;
        } else if (c == '.' && !tokens.empty() && tokens.back().text == "]") {
            size_t end = i + 1;
            while (end < text.size() && std::isalnum(static_cast<unsigned char>(text[end])))
                ++end;
            token.type = SToken::EType::Suffix;
            token.text = text.substr(i + 1, end - i - 1);
            i = end;
        } else if (IsNameChar(c)) {
            size_t end = i;
            while (end < text.size() && IsNameChar(text[end]))
                ++end;
            token.type = SToken::EType::Name;
            token.text = text.substr(i, end - i);
            i = end;
        } else {
            for (const char* op : kOperators) {
                if (text.compare(i, std::strlen(op), op) == 0) {
                    token.type = SToken::EType::Operator;
                    token.text = op;
                    break;
                }
            }
            if (token.type != SToken::EType::Operator) {
                error = std::string("unexpected \"") + c + "\"";
                return false;
            }
            i += token.text.size();
        }
        tokens.push_back(std::move(token));
    }
    tokens.push_back(SToken{});
    return true;
}

// Binding strength of the binary operators, as in C.
int Precedence(const std::string& op) {
    static const std::pair<const char*, int> kTable[] = {
        {"||", 1}, {"&&", 2}, {"|", 3},  {"^", 4},  {"&", 5},  {"==", 6},
        {"!=", 6}, {"<", 7},  {"<=", 7}, {">", 7},  {">=", 7}, {"<<", 8},
        {">>", 8}, {"+", 9},  {"-", 9},  {"*", 10}, {"/", 10}, {"%", 10}};
    for (const auto& [name, level] : kTable)
        if (op == name)
            return level;
    return 0;
}

class CParser {
public:
    CParser(const std::vector<SToken>& tokens, std::string& error) : tokens(tokens), error(error) {}

    std::unique_ptr<SNode> Parse() {
        auto node = Binary(1);
        if (node && tokens[position].type != SToken::EType::End)
            return Fail("unexpected \"" + Describe() + "\"");
        return node;
    }

private:
    std::unique_ptr<SNode> Fail(const std::string& message) {
        if (error.empty())
            error = message;
        return nullptr;
    }
    std::string Describe() const {
        const SToken& t = tokens[position];
        if (t.type == SToken::EType::End)
            return "the end";
        if (t.type == SToken::EType::Number)
            return std::to_string(t.number);
        return t.text;
    }
    bool AtOperator(const char* op) const {
        return tokens[position].type == SToken::EType::Operator && tokens[position].text == op;
    }

    std::unique_ptr<SNode> Binary(int level) {
        auto left = Unary();
        while (left) {
            const SToken& t = tokens[position];
            const int precedence = t.type == SToken::EType::Operator ? Precedence(t.text) : 0;
            if (precedence < level || precedence == 0)
                break;
            ++position;
            auto right = Binary(precedence + 1);
            if (!right)
                return nullptr;
            auto node = std::make_unique<SNode>();
            node->kind = EKind::Binary;
            node->name = t.text;
            node->left = std::move(left);
            node->right = std::move(right);
            left = std::move(node);
        }
        return left;
    }

    std::unique_ptr<SNode> Unary() {
        if (AtOperator("-") || AtOperator("!") || AtOperator("~")) {
            auto node = std::make_unique<SNode>();
            node->kind = EKind::Unary;
            node->name = tokens[position++].text;
            node->left = Unary();
            return node->left ? std::move(node) : nullptr;
        }
        return Primary();
    }

    std::unique_ptr<SNode> Primary() {
        const SToken& t = tokens[position];
        auto node = std::make_unique<SNode>();
        switch (t.type) {
        case SToken::EType::Number:
            node->kind = EKind::Number;
            node->number = t.number;
            ++position;
            return node;
        case SToken::EType::Real:
            node->kind = EKind::Real;
            node->real = t.real;
            ++position;
            return node;
        case SToken::EType::Name:
            node->kind = EKind::Name;
            node->name = t.text;
            ++position;
            return node;
        default:
            break;
        }
        if (AtOperator("(")) {
            ++position;
            auto inner = Binary(1);
            if (!inner)
                return nullptr;
            if (!AtOperator(")"))
                return Fail("expected \")\", not \"" + Describe() + "\"");
            ++position;
            return inner;
        }
        if (AtOperator("[")) {
            ++position;
            node->kind = EKind::Memory;
            node->left = Binary(1);
            if (!node->left)
                return nullptr;
            if (!AtOperator("]"))
                return Fail("expected \"]\", not \"" + Describe() + "\"");
            ++position;
            if (tokens[position].type == SToken::EType::Suffix)
                node->suffix = tokens[position++].text;
            return node;
        }
        return Fail("expected a value, not \"" + Describe() + "\"");
    }

    const std::vector<SToken>& tokens;
    std::string& error;
    size_t position = 0;
};

// The size and kind of a suffix ("32", "i16", "f64"); false for anything else.
bool ParseSuffix(std::string suffix, SDebugPlace& place) {
    for (char& c : suffix)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    place.kind = 'u';
    if (!suffix.empty() && (suffix[0] == 'u' || suffix[0] == 'i' || suffix[0] == 'f')) {
        place.kind = suffix[0];
        suffix.erase(0, 1);
    }
    if (suffix == "8" || suffix == "16" || suffix == "32" || suffix == "64")
        place.size = static_cast<uint32_t>(std::stoul(suffix)) / 8;
    else
        return false;
    return place.kind != 'f' || place.size >= 4;
}

struct SEvaluator {
    const CMemory& memory;
    const CSymbolFile& symbols;
    std::string& error;

    bool Fail(const std::string& message) {
        error = message;
        return false;
    }

    // A name that is a register, with or without a suffix.
    bool RegisterPlace(const std::string& name, SDebugPlace& place) {
        uint32_t address;
        if (LookupRegister(name, address)) {
            place = {address, 4, 'u'};
            return true;
        }
        const size_t dot = name.rfind('.');
        if (dot == std::string::npos || !LookupRegister(name.substr(0, dot), address))
            return false;
        place.address = address;
        return ParseSuffix(name.substr(dot + 1), place);
    }

    bool Place(const SNode& node, SDebugPlace& place) {
        if (node.kind == EKind::Name) {
            if (RegisterPlace(node.name, place))
                return true;
            return Fail("\"" + node.name + "\" is not a register");
        }
        if (node.kind != EKind::Memory)
            return Fail("not a register or a memory operand");
        SDebugValue address;
        if (!Value(*node.left, address))
            return false;
        if (address.isFloat || address.integer < 0 || address.integer > UINT32_MAX)
            return Fail("the address is not a machine address");
        place.address = static_cast<uint32_t>(address.integer);
        place.size = 4;
        place.kind = 'u';
        if (!node.suffix.empty() && !ParseSuffix(node.suffix, place))
            return Fail("unknown suffix \"." + node.suffix +
                        "\" (8, 16, 32, 64, i8 ... i64, f32, f64)");
        return true;
    }

    bool Value(const SNode& node, SDebugValue& value) {
        switch (node.kind) {
        case EKind::Number:
            value = {false, node.number, 0.0};
            return true;
        case EKind::Real:
            value = {true, 0, node.real};
            return true;
        case EKind::Name: {
            if (const auto symbol = symbols.Find(node.name)) {
                value = {false, *symbol, 0.0};
                return true;
            }
            SDebugPlace place;
            if (!RegisterPlace(node.name, place))
                return Fail("unknown name \"" + node.name + "\"");
            return Read(place, value);
        }
        case EKind::Memory: {
            SDebugPlace place;
            return Place(node, place) && Read(place, value);
        }
        case EKind::Unary:
            return Value(*node.left, value) && ApplyUnary(node.name, value);
        case EKind::Binary: {
            SDebugValue left, right;
            if (!Value(*node.left, left))
                return false;
            // Conditions as in C: the right side of && and || only when it matters.
            if (node.name == "&&" || node.name == "||") {
                if (left.IsTrue() == (node.name == "||")) {
                    value = {false, left.IsTrue() ? 1 : 0, 0.0};
                    return true;
                }
                if (!Value(*node.right, right))
                    return false;
                value = {false, right.IsTrue() ? 1 : 0, 0.0};
                return true;
            }
            return Value(*node.right, right) && ApplyBinary(node.name, left, right, value);
        }
        }
        return false;
    }

    bool Read(const SDebugPlace& place, SDebugValue& value) {
        if (CDebugExpression::ReadPlace(memory, place, value))
            return true;
        char text[64];
        std::snprintf(text, sizeof text, "0x%08x is outside the machine's memory", place.address);
        return Fail(text);
    }

    bool ApplyUnary(const std::string& op, SDebugValue& value) {
        if (op == "!") {
            value = {false, value.IsTrue() ? 0 : 1, 0.0};
        } else if (op == "-") {
            if (value.isFloat)
                value.real = -value.real;
            else
                value.integer = static_cast<int64_t>(0 - static_cast<uint64_t>(value.integer));
        } else {
            if (value.isFloat)
                return Fail("~ takes a whole number");
            value.integer = ~value.integer;
        }
        return true;
    }

    bool ApplyBinary(const std::string& op, const SDebugValue& a, const SDebugValue& b,
                     SDebugValue& value) {
        const bool real = a.isFloat || b.isFloat;
        auto truth = [&](bool result) {
            value = {false, result ? 1 : 0, 0.0};
            return true;
        };
        if (op == "==" || op == "!=" || op == "<" || op == "<=" || op == ">" || op == ">=") {
            const int order = real ? (a.AsReal() < b.AsReal() ? -1 : a.AsReal() > b.AsReal())
                                   : (a.integer < b.integer ? -1 : a.integer > b.integer);
            if (real && (std::isnan(a.AsReal()) || std::isnan(b.AsReal())))
                return truth(op == "!=");
            if (op == "==")
                return truth(order == 0);
            if (op == "!=")
                return truth(order != 0);
            if (op == "<")
                return truth(order < 0);
            if (op == "<=")
                return truth(order <= 0);
            if (op == ">")
                return truth(order > 0);
            return truth(order >= 0);
        }
        if (real && (op == "+" || op == "-" || op == "*" || op == "/")) {
            const double x = a.AsReal(), y = b.AsReal();
            const double r = op == "+" ? x + y : op == "-" ? x - y : op == "*" ? x * y : x / y;
            value = {true, 0, r};
            return true;
        }
        if (real)
            return Fail(op + " takes whole numbers");
        const uint64_t x = static_cast<uint64_t>(a.integer), y = static_cast<uint64_t>(b.integer);
        uint64_t r = 0;
        if (op == "+")
            r = x + y;
        else if (op == "-")
            r = x - y;
        else if (op == "*")
            r = x * y;
        else if (op == "/" || op == "%") {
            if (y == 0)
                return Fail("division by zero");
            if (a.integer == INT64_MIN && b.integer == -1)
                r = op == "/" ? x : 0;
            else
                r = static_cast<uint64_t>(op == "/" ? a.integer / b.integer
                                                    : a.integer % b.integer);
        } else if (op == "&")
            r = x & y;
        else if (op == "|")
            r = x | y;
        else if (op == "^")
            r = x ^ y;
        else if (op == "<<")
            r = y >= 64 ? 0 : x << y;
        else if (op == ">>")
            r = y >= 64 ? 0 : x >> y;
        value = {false, static_cast<int64_t>(r), 0.0};
        return true;
    }
};

} // namespace

std::string SDebugValue::Format() const {
    char text[64];
    if (isFloat)
        std::snprintf(text, sizeof text, "%.17g", real);
    else
        std::snprintf(text, sizeof text, "%lld (0x%llx)", static_cast<long long>(integer),
                      static_cast<unsigned long long>(integer));
    return text;
}

CDebugExpression::CDebugExpression() = default;
CDebugExpression::~CDebugExpression() = default;
CDebugExpression::CDebugExpression(CDebugExpression&&) noexcept = default;
CDebugExpression& CDebugExpression::operator=(CDebugExpression&&) noexcept = default;

bool CDebugExpression::Parse(const std::string& source, std::string& error) {
    error.clear();
    std::vector<SToken> tokens;
    if (!Tokenize(source, tokens, error))
        return false;
    if (tokens.size() == 1) {
        error = "the expression is empty";
        return false;
    }
    auto parsed = CParser(tokens, error).Parse();
    if (!parsed)
        return false;
    text = source;
    root = std::move(parsed);
    return true;
}

bool CDebugExpression::Evaluate(const CMemory& memory, const CSymbolFile& symbols,
                                SDebugValue& value, std::string& error) const {
    if (!root) {
        error = "no expression";
        return false;
    }
    return SEvaluator{memory, symbols, error}.Value(*root, value);
}

bool CDebugExpression::EvaluatePlace(const CMemory& memory, const CSymbolFile& symbols,
                                     SDebugPlace& place, std::string& error) const {
    if (!root) {
        error = "no expression";
        return false;
    }
    return SEvaluator{memory, symbols, error}.Place(*root, place);
}

bool CDebugExpression::ReadPlace(const CMemory& memory, const SDebugPlace& place,
                                 SDebugValue& value) {
    const uint8_t* p = MachineBytes(memory, place.address, place.size);
    if (!p)
        return false;
    uint64_t bits = 0;
    std::memcpy(&bits, p, place.size);
    value = {};
    if (place.kind == 'f') {
        value.isFloat = true;
        if (place.size == 4) {
            float f;
            std::memcpy(&f, &bits, 4);
            value.real = f;
        } else {
            std::memcpy(&value.real, &bits, 8);
        }
    } else if (place.kind == 'i' && place.size < 8) {
        const unsigned shift = 64 - 8 * place.size;
        value.integer = static_cast<int64_t>(bits << shift) >> shift;
    } else {
        value.integer = static_cast<int64_t>(bits);
    }
    return true;
}

bool CDebugExpression::WritePlace(CMemory& memory, const SDebugPlace& place,
                                  const SDebugValue& value) {
    uint8_t* p = MachineBytes(memory, place.address, place.size);
    if (!p)
        return false;
    uint64_t bits;
    if (place.kind == 'f' && place.size == 4) {
        const float f = static_cast<float>(value.AsReal());
        uint32_t b;
        std::memcpy(&b, &f, 4);
        bits = b;
    } else if (place.kind == 'f') {
        const double d = value.AsReal();
        std::memcpy(&bits, &d, 8);
    } else {
        bits = static_cast<uint64_t>(value.integer);
        if (value.isFloat) {
            // A float stored into a whole-number place is cut towards zero, where it fits.
            const double d = std::trunc(value.real);
            bits = d >= -9.2e18 && d <= 9.2e18 ? static_cast<uint64_t>(static_cast<int64_t>(d)) : 0;
        }
    }
    std::memcpy(p, &bits, place.size);
    return true;
}
