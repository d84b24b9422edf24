// Errors of INI documents: malformed text found by the parser and invalid changes found by
// the add operations and the writer.
#pragma once

#include "support/ParserError.h"

namespace qm {

enum EINIErrorKind : int32_t {
    kINIEmptyString = 0,
    kINISyntax = 1,
    kINIInternal = 2,
    kINIInvalidCharacters = 3,
    kINIDuplicateName = 4,
    kININoSection = 5,
};

class CINIError : public CParserError {
public:
    // Without a text: position, row and column 0.
    explicit CINIError(int32_t kind);
    CINIError(int32_t kind, const std::string& text, uint32_t position);

    const char* GetKindText() const { return KindText(kind); }
    static const char* KindText(int32_t kind);

    void Report(CErrorLog& log) const override;

    int32_t kind = 0;
};

// The host's one-line description of a settings error: index, row, column and both texts.
std::string DescribeINIError(const CINIError& error);

} // namespace qm
