#include "support/ErrorLog.h"
#include "support/INIError.h"
#include "support/TextFunctions.h"

#include "common/FileTestHelpers.h"

#include <gtest/gtest.h>

#include <regex>
#include <vector>

using namespace qm;

TEST(ParserError, RowAndColumn) {
    struct {
        std::string text;
        uint32_t position;
        uint32_t row;
        uint32_t column;
    } rows[] = {
        {"abc", 0, 1, 1},    {"ab\r\ncd", 6, 2, 3}, {"a\r\rb", 3, 3, 1}, {"a\n\nb", 3, 3, 1},
        {"a\n\rb", 3, 3, 1}, {"a\r\n\nb", 4, 3, 1}, {"abc", 2, 1, 3},    {"x\r\n", 2, 2, 1},
        {"", 0, 1, 1},       {"ab", 100, 1, 3}, // beyond the end: counts the whole text
    };
    for (const auto& row : rows) {
        const CParserError error(row.text, row.position);
        EXPECT_EQ(error.position, row.position);
        EXPECT_EQ(error.row, row.row) << testing::PrintToString(row.text) << " @" << row.position;
        EXPECT_EQ(error.column, row.column)
            << testing::PrintToString(row.text) << " @" << row.position;
    }
}

TEST(ParserError, Construction) {
    const CParserError none;
    EXPECT_EQ(none.GetText(), "Błąd parsera");
    EXPECT_EQ(none.sourceFile, "");
    EXPECT_EQ(none.line, -1);
    EXPECT_EQ(none.position, 0u);
    EXPECT_EQ(none.row, 0u);
    EXPECT_EQ(none.column, 0u);

    const CParserError atEnd("ab\ncd", 0xFFFFFFFFu);
    EXPECT_EQ(atEnd.position, 5u);
    EXPECT_EQ(atEnd.row, 2u);
    EXPECT_EQ(atEnd.column, 3u);

    const CINIError copy = CINIError(kINISyntax, "x\ny", 2);
    const CINIError second(copy);
    EXPECT_EQ(second.kind, kINISyntax);
    EXPECT_EQ(second.row, 2u);
}

TEST(INIError, KindTexts) {
    const char* const texts[] = {"Łańcuch nie może być pusty",
                                 "Błąd składni",
                                 "Błąd wewnętrzny parsera (nie powinno go nigdy być :)",
                                 "Łańcuch zawiera niedozwolone znaki",
                                 "Powtarzająca się nazwa",
                                 "Brak sekcji"};
    for (int32_t kind = 0; kind < 6; ++kind)
        EXPECT_STREQ(CINIError(kind).GetKindText(), texts[kind]) << kind;
    for (int32_t kind : {-1, 6, 7, 1000})
        EXPECT_STREQ(CINIError(kind).GetKindText(), "Nieznany błąd") << kind;
}

TEST(INIError, Description) {
    const CINIError error(kINISyntax, "[A]\r\nbad\r\nmore", 10);
    EXPECT_EQ(DescribeINIError(error), "(index: 10,row: 3, col: 1, message: \"Błąd parsera\", "
                                       "type message: \"Błąd składni\")");
    EXPECT_EQ(DescribeINIError(CINIError(kININoSection)),
              "(index: 0,row: 0, col: 0, message: \"Błąd parsera\", type message: \"Brak "
              "sekcji\")");
}

namespace {
std::vector<std::string> LogLines(const std::string& path) {
    std::string text;
    EXPECT_TRUE(ReadWholeFile(path, text));
    std::vector<std::string> lines;
    size_t position = 0;
    while (position < text.size()) {
        const size_t end = text.find("\r\n", position);
        EXPECT_NE(end, std::string::npos) << "every line ends with CR LF";
        if (end == std::string::npos)
            break;
        lines.push_back(text.substr(position, end - position));
        position = end + 2;
    }
    return lines;
}
} // namespace

TEST(ErrorReport, INIErrorWritesEveryBlockInOrder) {
    testhelpers::CTemporaryDirectory directory;
    CErrorLog log(directory.path + "/errors.log");
    CINIError error(kINIDuplicateName, "[A]\n[a]\n", 4);
    error.sourceFile = "settings.cpp";
    error.line = 12;
    error.Report(log);
    CError plain("plain");
    plain.Report(log);

    const std::vector<std::string> lines = LogLines(log.GetFileName());
    std::vector<std::string> shape;
    for (const std::string& line : lines)
        shape.push_back(
            line.substr(0, line.find(':') == std::string::npos ? line.size() : line.find(':') + 1));
    std::vector<std::string> expected = {"",
                                         "Środowisko",
                                         "  Czas       :",
                                         "  Komputer   :",
                                         "  Użytkownik :",
                                         "  Plik       :",
                                         "Źródło",
                                         "  Plik       :",
                                         "  Wiersz     :",
                                         "Błąd",
                                         "  Numer      :",
                                         "  Komunikat  :",
                                         "Parser",
                                         "  Znak       :",
                                         "  Wiersz     :",
                                         "  Kolumna    :",
                                         "INI",
                                         "  Typ        :",
                                         "  Komunikat  :",
                                         "",
                                         "Środowisko",
                                         "  Czas       :",
                                         "  Komputer   :",
                                         "  Użytkownik :",
                                         "  Plik       :",
                                         "Błąd",
                                         "  Numer      :",
                                         "  Komunikat  :"};
    ASSERT_EQ(shape, expected);
    EXPECT_TRUE(std::regex_match(lines[2], std::regex("  Czas       : \\d{4}-\\d\\d-\\d\\d "
                                                      "\\d\\d:\\d\\d:\\d\\d")));
    EXPECT_EQ(lines[5], "  Plik       : " + ProgramPath());
    EXPECT_EQ(lines[7], "  Plik       : settings.cpp");
    EXPECT_EQ(lines[8], "  Wiersz     : 12");
    EXPECT_EQ(lines[11], "  Komunikat  : Błąd parsera");
    EXPECT_EQ(lines[13], "  Znak       : 4");
    EXPECT_EQ(lines[14], "  Wiersz     : 2");
    EXPECT_EQ(lines[15], "  Kolumna    : 1");
    EXPECT_EQ(lines[17], "  Typ        : 4");
    EXPECT_EQ(lines[18], "  Komunikat  : Powtarzająca się nazwa");
    EXPECT_EQ(lines[27], "  Komunikat  : plain");
    // The report numbers count up by one per report.
    const int first = StrToInt(lines[10].substr(15));
    EXPECT_GE(first, 1);
    EXPECT_EQ(StrToInt(lines[26].substr(15)), first + 1);
}

TEST(ErrorReport, SourceBlockOnlyWhenKnown) {
    testhelpers::CTemporaryDirectory directory;
    CErrorLog log(directory.path + "/e.log");
    CError lineOnly("m", "", 0);
    lineOnly.Report(log);
    const std::vector<std::string> lines = LogLines(log.GetFileName());
    const auto source = std::find(lines.begin(), lines.end(), "Źródło");
    ASSERT_NE(source, lines.end());
    EXPECT_EQ(*(source + 1), "  Wiersz     : 0");
}

TEST(ErrorLog, AppendsAndDropsSilently) {
    testhelpers::CTemporaryDirectory directory;
    CErrorLog log(directory.path + "/log.txt");
    log.WriteLine("one");
    ASSERT_TRUE(log.Open());
    log.WriteLine("two");
    log.Close();
    log.WriteLine("three");
    std::string text;
    ASSERT_TRUE(ReadWholeFile(log.GetFileName(), text));
    EXPECT_EQ(text, "one\r\ntwo\r\nthree\r\n");

    CErrorLog nowhere(directory.path + "/missing/dir/log.txt");
    nowhere.WriteLine("dropped");
    EXPECT_FALSE(nowhere.Open());
    CErrorLog unnamed;
    unnamed.WriteLine("dropped");
    EXPECT_FALSE(unnamed.IsOpen());
}
