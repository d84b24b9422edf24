// Splits one source line into tokens. Strings and character literals arrive already in the
// machine's code page; a comment (";" to the end of the line) yields nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

enum class ETokenKind : uint8_t {
    Identifier,    // name, mnemonic or register: letters, digits, "_" and inner "."
    DotIdentifier, // ".name": a directive or a local label
    Integer,
    Float,
    String,      // text holds code-page bytes
    Punctuation, // text holds the symbol: , : # [ ] ( ) { } + - * / % & | ^ ~ = $ << >>
    End,         // after the last token of every line
};

struct SToken {
    ETokenKind kind = ETokenKind::End;
    std::string text;
    uint64_t integer = 0;
    double real = 0;
    uint32_t column = 1;

    bool Is(std::string_view symbol) const {
        return kind == ETokenKind::Punctuation && text == symbol;
    }
    bool IsEnd() const { return kind == ETokenKind::End; }
};

// Receives a lexical error: the column and the message.
using LexErrorSink = std::function<void(uint32_t column, const std::string& message)>;

// Tokens of one line, always ending with an End token; false after an error (reported
// through the sink; the tokens are then not usable).
bool LexLine(std::string_view line, std::vector<SToken>& tokens, const LexErrorSink& onError);
