#include "support/ParserError.h"

#include "support/ErrorLog.h"
#include "support/TextFunctions.h"

#include <algorithm>

namespace qm {
namespace {
const char* const kParserErrorText = "Błąd parsera";
}

CParserError::CParserError() : CError(kParserErrorText) {}

CParserError::CParserError(const std::string& text, uint32_t position)
    : CError(kParserErrorText),
      position(position == UINT32_MAX ? static_cast<uint32_t>(text.size()) : position) {
    ComputeRowColumn(text, this->position, row, column);
}

void CParserError::ComputeRowColumn(const std::string& text, uint32_t position, uint32_t& row,
                                    uint32_t& column) {
    row = 1;
    column = 1;
    bool afterCarriageReturn = false;
    const size_t end = std::min<size_t>(position, text.size());
    for (size_t i = 0; i < end; ++i) {
        const char c = text[i];
        if (c == '\r') {
            ++row;
            column = 1;
            afterCarriageReturn = true;
        } else if (c == '\n' && afterCarriageReturn) {
            afterCarriageReturn = false;
        } else if (c == '\n') {
            ++row;
            column = 1;
        } else {
            ++column;
            afterCarriageReturn = false;
        }
    }
}

void CParserError::Report(CErrorLog& log) const {
    CError::Report(log);
    log.WriteLine("Parser");
    log.WriteLine("  Znak       : " + UIntToStr(position));
    log.WriteLine("  Wiersz     : " + UIntToStr(row));
    log.WriteLine("  Kolumna    : " + UIntToStr(column));
}

} // namespace qm
