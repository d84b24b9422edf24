// Small text helpers used across the program. Texts are single bytes in the machine's code
// page, Windows-1252; case and character classes follow the Unicode properties of the
// character that a byte stands for.
#pragma once

#include <cstdint>
#include <string>

namespace qm {

// Space, tab, CR, LF.
bool IsBlank(char c);
void Trim(std::string& text);
void ToLower(std::string& text);
std::string LowerCopy(const std::string& text);
void ToUpper(std::string& text);
bool EqualsNoCase(const std::string& a, const std::string& b);
bool HasLineBreak(const std::string& text);

// Single bytes of the code page.
uint8_t CharToUpper(uint8_t c);
uint8_t CharToLower(uint8_t c);
bool IsCharAlpha(uint8_t c);
bool IsCharAlphaNumeric(uint8_t c);

std::string IntToStr(int64_t value, int radix = 10);
std::string UIntToStr(uint64_t value, int radix = 10);
// Leading decimal number (blanks, sign, digits; for floats also point and exponent);
// 0 when there is none.
int32_t StrToInt(const std::string& text);
double StrToFloat(const std::string& text);
bool StrToBool(const std::string& text);
std::string BoolToStr(bool value, char style);

// The command-line tokenizer: blanks separate tokens; a token that begins with a double
// quote runs to the next one, without the quotes. False when no token is left.
bool NextToken(const std::string& text, std::string& token, size_t& position);
bool NextLine(const std::string& text, std::string& line, size_t& position);
bool NextPart(const std::string& text, const std::string& delimiter, std::string& part,
              size_t& position);

// The program file's full path and its directory (with the trailing separator).
std::string ProgramPath();
std::string ProgramDirectory();
std::string FileNamePart(const std::string& path);
std::string ChangeExtension(const std::string& path, const std::string& extension);

bool ReadWholeFile(const std::string& path, std::string& text);
bool WriteWholeFile(const std::string& path, const std::string& text);
// Replaces a file atomically: writes a temporary file beside it, flushes it to the disk and
// renames it over the old one. On failure the previous file stays whole and errno tells why.
bool ReplaceWholeFile(const std::string& path, const std::string& text);

// Converts machine text (Windows-1252) to UTF-8 for display, and back; characters that the
// code page cannot hold are dropped by ToCodePage.
std::string CodePageToUtf8(const std::string& text);
std::string Utf8ToCodePage(const std::string& text);

} // namespace qm
