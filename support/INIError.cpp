#include "support/INIError.h"

#include "support/ErrorLog.h"
#include "support/TextFunctions.h"

namespace qm {

CINIError::CINIError(int32_t kind) : kind(kind) {}

CINIError::CINIError(int32_t kind, const std::string& text, uint32_t position)
    : CParserError(text, position), kind(kind) {}

const char* CINIError::KindText(int32_t kind) {
    switch (kind) {
    case kINIEmptyString:
        return "Łańcuch nie może być pusty";
    case kINISyntax:
        return "Błąd składni";
    case kINIInternal:
        return "Błąd wewnętrzny parsera (nie powinno go nigdy być :)";
    case kINIInvalidCharacters:
        return "Łańcuch zawiera niedozwolone znaki";
    case kINIDuplicateName:
        return "Powtarzająca się nazwa";
    case kININoSection:
        return "Brak sekcji";
    default:
        return "Nieznany błąd";
    }
}

void CINIError::Report(CErrorLog& log) const {
    CParserError::Report(log);
    log.WriteLine("INI");
    log.WriteLine("  Typ        : " + IntToStr(kind));
    log.WriteLine(std::string("  Komunikat  : ") + GetKindText());
}

std::string DescribeINIError(const CINIError& error) {
    return "(index: " + UIntToStr(error.position) + ",row: " + UIntToStr(error.row) +
           ", col: " + UIntToStr(error.column) + ", message: \"" + error.message +
           "\", type message: \"" + error.GetKindText() + "\")";
}

} // namespace qm
