#include "tools/asm/Lexer.h"

#include "tools/asm/CodePage.h"

#include <cmath>
#include <cstdlib>

namespace {

bool IsNameStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsNameChar(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '.';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
int DigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

class CLineLexer {
public:
    CLineLexer(std::string_view line, std::vector<SToken>& tokens, const LexErrorSink& onError)
        : line(line), tokens(tokens), onError(onError) {}

    bool Run() {
        tokens.clear();
        while (position < line.size()) {
            const char c = line[position];
            if (c == ';')
                break;
            if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
                ++position;
                continue;
            }
            const uint32_t column = ColumnOf(position);
            bool ok;
            if (IsNameStart(c))
                ok = Name(ETokenKind::Identifier, column);
            else if (c == '.' && position + 1 < line.size() && IsNameStart(line[position + 1]))
                ok = Name(ETokenKind::DotIdentifier, column);
            else if (IsDigit(c))
                ok = Number(column);
            else if (c == '"')
                ok = String(column);
            else if (c == '\'')
                ok = Character(column);
            else
                ok = Punctuation(column);
            if (!ok)
                return false;
        }
        SToken end;
        end.kind = ETokenKind::End;
        end.column = ColumnOf(position);
        tokens.push_back(end);
        return true;
    }

private:
    // Columns count characters, not bytes: continuation bytes of UTF-8 do not advance.
    // Tokens come in order, so the count resumes where the previous one stopped.
    uint32_t ColumnOf(size_t offset) {
        if (offset < countedOffset) {
            countedOffset = 0;
            countedColumn = 1;
        }
        for (; countedOffset < offset && countedOffset < line.size(); ++countedOffset)
            if ((static_cast<uint8_t>(line[countedOffset]) & 0xC0) != 0x80)
                ++countedColumn;
        return countedColumn;
    }

    bool Fail(size_t offset, const std::string& message) {
        onError(ColumnOf(offset), message);
        return false;
    }

    void Push(ETokenKind kind, uint32_t column, std::string text) {
        SToken token;
        token.kind = kind;
        token.column = column;
        token.text = std::move(text);
        tokens.push_back(std::move(token));
    }

    bool Name(ETokenKind kind, uint32_t column) {
        const size_t start = position;
        ++position;
        while (position < line.size() && IsNameChar(line[position]))
            ++position;
        // A trailing dot belongs to no name ("x." is a mistake, not a name).
        if (line[position - 1] == '.')
            return Fail(position - 1, "a name cannot end with \".\"");
        Push(kind, column, std::string(line.substr(start, position - start)));
        return true;
    }

    bool Number(uint32_t column) {
        const size_t start = position;
        int radix = 10;
        if (line[position] == '0' && position + 1 < line.size()) {
            const char prefix = static_cast<char>(line[position + 1] | 0x20);
            if (prefix == 'x')
                radix = 16;
            else if (prefix == 'b')
                radix = 2;
            else if (prefix == 'o')
                radix = 8;
            if (radix != 10)
                position += 2;
        }
        if (radix == 10 && IsFloatAhead())
            return FloatNumber(start, column);

        uint64_t value = 0;
        bool anyDigit = false, overflow = false;
        while (position < line.size()) {
            const char c = line[position];
            if (c == '_') {
                ++position;
                continue;
            }
            const int digit = DigitValue(c);
            if (digit >= radix)
                break;
            if (value > (UINT64_MAX - static_cast<uint64_t>(digit)) / static_cast<uint64_t>(radix))
                overflow = true;
            value = value * static_cast<uint64_t>(radix) + static_cast<uint64_t>(digit);
            anyDigit = true;
            ++position;
        }
        if (!anyDigit)
            return Fail(start, "number without digits");
        if (position < line.size() && IsNameChar(line[position]))
            return Fail(position,
                        "invalid digit \"" + std::string(1, line[position]) + "\" in a number");
        if (overflow)
            return Fail(start, "number does not fit in 64 bits");
        Push(ETokenKind::Integer, column, std::string(line.substr(start, position - start)));
        tokens.back().integer = value;
        return true;
    }

    // A decimal number with a point followed by a digit, or with an exponent.
    bool IsFloatAhead() const {
        size_t i = position;
        while (i < line.size() && (IsDigit(line[i]) || line[i] == '_'))
            ++i;
        if (i + 1 < line.size() && line[i] == '.' && IsDigit(line[i + 1]))
            return true;
        if (i < line.size() && (line[i] == 'e' || line[i] == 'E')) {
            size_t j = i + 1;
            if (j < line.size() && (line[j] == '+' || line[j] == '-'))
                ++j;
            return j < line.size() && IsDigit(line[j]);
        }
        return false;
    }

    bool FloatNumber(size_t start, uint32_t column) {
        std::string digits;
        auto takeDigits = [&] {
            while (position < line.size() && (IsDigit(line[position]) || line[position] == '_')) {
                if (line[position] != '_')
                    digits += line[position];
                ++position;
            }
        };
        takeDigits();
        if (position < line.size() && line[position] == '.') {
            digits += '.';
            ++position;
            takeDigits();
        }
        if (position < line.size() && (line[position] == 'e' || line[position] == 'E')) {
            digits += 'e';
            ++position;
            if (line[position] == '+' || line[position] == '-')
                digits += line[position++];
            takeDigits();
        }
        if (position < line.size() && IsNameChar(line[position]))
            return Fail(position,
                        "invalid character \"" + std::string(1, line[position]) + "\" in a number");
        const double value = std::strtod(digits.c_str(), nullptr);
        if (std::isinf(value))
            return Fail(start, "floating-point number out of range");
        Push(ETokenKind::Float, column, std::string(line.substr(start, position - start)));
        tokens.back().real = value;
        return true;
    }

    // One character of a string or character literal, as a code-page byte.
    bool QuotedCharacter(uint8_t& byte) {
        const size_t at = position;
        const char c = line[position];
        if (c != '\\') {
            uint32_t codePoint = 0;
            if (!DecodeUtf8(line, position, codePoint))
                return Fail(at, "invalid UTF-8 in the source");
            if (codePoint < 0x20 && codePoint != '\t')
                return Fail(at, "control character in a literal (write it as an escape)");
            if (!EncodeCodePage(codePoint, byte))
                return Fail(at, "character U+" + Hex(codePoint) +
                                    " does not exist in the machine's code page");
            return true;
        }
        if (position + 1 >= line.size())
            return Fail(at, "escape \"\\\" at the end of the line");
        const char e = line[position + 1];
        position += 2;
        switch (e) {
        case 'n':
            byte = 10;
            return true;
        case 'r':
            byte = 13;
            return true;
        case 't':
            byte = 9;
            return true;
        case '0':
            byte = 0;
            return true;
        case 'a':
            byte = 7;
            return true;
        case 'b':
            byte = 8;
            return true;
        case 'e':
            byte = 27;
            return true;
        case 'f':
            byte = 12;
            return true;
        case 'v':
            byte = 11;
            return true;
        case '\\':
            byte = '\\';
            return true;
        case '"':
            byte = '"';
            return true;
        case '\'':
            byte = '\'';
            return true;
        case 'x': {
            int value = 0, count = 0;
            while (count < 2 && position < line.size() && DigitValue(line[position]) < 16) {
                value = value * 16 + DigitValue(line[position]);
                ++position;
                ++count;
            }
            if (count == 0)
                return Fail(at, "escape \"\\x\" needs one or two hexadecimal digits");
            byte = static_cast<uint8_t>(value);
            return true;
        }
        default:
            return Fail(at, std::string("unknown escape \"\\") + e + "\"");
        }
    }

    static std::string Hex(uint32_t value) {
        static const char digits[] = "0123456789ABCDEF";
        std::string text;
        for (int shift = value > 0xFFFF ? 20 : 12; shift >= 0; shift -= 4)
            text += digits[(value >> shift) & 15];
        return text;
    }

    bool String(uint32_t column) {
        const size_t start = position;
        ++position;
        std::string bytes;
        while (true) {
            if (position >= line.size())
                return Fail(start, "string without its closing quote");
            if (line[position] == '"') {
                ++position;
                break;
            }
            uint8_t byte = 0;
            if (!QuotedCharacter(byte))
                return false;
            bytes += static_cast<char>(byte);
        }
        Push(ETokenKind::String, column, std::move(bytes));
        return true;
    }

    bool Character(uint32_t column) {
        const size_t start = position;
        ++position;
        if (position >= line.size() || line[position] == '\'')
            return Fail(start, "empty character literal");
        uint8_t byte = 0;
        if (!QuotedCharacter(byte))
            return false;
        if (position >= line.size() || line[position] != '\'')
            return Fail(start, "character literal holds more than one character or lacks "
                               "its closing quote");
        ++position;
        Push(ETokenKind::Integer, column, std::string(line.substr(start, position - start)));
        tokens.back().integer = byte;
        return true;
    }

    bool Punctuation(uint32_t column) {
        const char c = line[position];
        if ((c == '<' || c == '>') && position + 1 < line.size() && line[position + 1] == c) {
            position += 2;
            Push(ETokenKind::Punctuation, column, std::string(2, c));
            return true;
        }
        static constexpr std::string_view singles = ",:#[](){}+-*/%&|^~=$";
        if (singles.find(c) == std::string_view::npos) {
            if (static_cast<uint8_t>(c) >= 0x80)
                return Fail(position, "unexpected non-ASCII character");
            if (static_cast<uint8_t>(c) < 0x20 || c == 0x7F)
                return Fail(position, "unexpected control character");
            return Fail(position, std::string("unexpected character \"") + c + "\"");
        }
        ++position;
        Push(ETokenKind::Punctuation, column, std::string(1, c));
        return true;
    }

    std::string_view line;
    std::vector<SToken>& tokens;
    const LexErrorSink& onError;
    size_t position = 0;
    size_t countedOffset = 0;
    uint32_t countedColumn = 1;
};

} // namespace

bool LexLine(std::string_view line, std::vector<SToken>& tokens, const LexErrorSink& onError) {
    return CLineLexer(line, tokens, onError).Run();
}
