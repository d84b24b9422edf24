// An error found while parsing a text: where in the text, as an index and as a row and
// column counted from 1.
#pragma once

#include "support/Error.h"

namespace qm {

class CParserError : public CError {
public:
    CParserError();
    // `position` all bits set stands for the end of the text.
    CParserError(const std::string& text, uint32_t position);

    void Report(CErrorLog& log) const override;

    // Row and column of the character at `position`; CR LF, a lone CR and a lone LF each
    // end one line.
    static void ComputeRowColumn(const std::string& text, uint32_t position, uint32_t& row,
                                 uint32_t& column);

    uint32_t position = 0;
    uint32_t row = 0;
    uint32_t column = 0;
};

} // namespace qm
