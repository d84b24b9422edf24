#include "support/TextFunctions.h"

#include "common/FileTestHelpers.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <vector>

using namespace qm;
using testhelpers::CFileSizeLimit;

namespace {

struct SCaseRow {
    uint8_t byte;
    uint8_t upper;
    uint8_t lower;
    bool letter;
    bool digit;
};

// The machine's code page: ASCII, the letters of 0x80..0x9F, Latin-1, unassigned bytes.
const SCaseRow kCaseRows[] = {
    {'a', 'A', 'a', true, false},     {'Z', 'Z', 'z', true, false},
    {'5', '5', '5', false, true},     {'-', '-', '-', false, false},
    {0x9A, 0x8A, 0x9A, true, false},  {0x8A, 0x8A, 0x9A, true, false},
    {0x9C, 0x8C, 0x9C, true, false},  {0x9E, 0x8E, 0x9E, true, false},
    {0xFF, 0x9F, 0xFF, true, false},  {0x9F, 0x9F, 0xFF, true, false},
    {0xDF, 0xDF, 0xDF, true, false},  {0xB5, 0xB5, 0xB5, true, false},
    {0x83, 0x83, 0x83, true, false},  {0x88, 0x88, 0x88, true, false},
    {0xAA, 0xAA, 0xAA, true, false},  {0xE9, 0xC9, 0xE9, true, false},
    {0xC9, 0xC9, 0xE9, true, false},  {0xD7, 0xD7, 0xD7, false, false},
    {0xF7, 0xF7, 0xF7, false, false}, {0xB2, 0xB2, 0xB2, false, false},
    {0x80, 0x80, 0x80, false, false}, {0x98, 0x98, 0x98, false, false},
    {0x81, 0x81, 0x81, false, false}, {0x8D, 0x8D, 0x8D, false, false},
    {0x8F, 0x8F, 0x8F, false, false}, {0x90, 0x90, 0x90, false, false},
    {0x9D, 0x9D, 0x9D, false, false}, {0x00, 0x00, 0x00, false, false},
};

} // namespace

TEST(CodePage, CaseAndClassOfEachByteKind) {
    for (const SCaseRow& row : kCaseRows) {
        SCOPED_TRACE(testing::Message() << "byte 0x" << std::hex << int(row.byte));
        EXPECT_EQ(CharToUpper(row.byte), row.upper);
        EXPECT_EQ(CharToLower(row.byte), row.lower);
        EXPECT_EQ(IsCharAlpha(row.byte), row.letter);
        EXPECT_EQ(IsCharAlphaNumeric(row.byte), row.letter || row.digit);
    }
}

TEST(CodePage, CaseMappingIsAPairingOfLetters) {
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<uint8_t>(b);
        const uint8_t upper = CharToUpper(byte);
        const uint8_t lower = CharToLower(byte);
        if (upper != byte) {
            EXPECT_TRUE(IsCharAlpha(byte)) << b;
            EXPECT_EQ(CharToLower(upper), byte) << b;
        }
        if (lower != byte) {
            EXPECT_EQ(CharToUpper(lower), byte) << b;
        }
        if (!IsCharAlpha(byte)) {
            EXPECT_EQ(upper, byte) << b;
            EXPECT_EQ(lower, byte) << b;
        }
    }
}

TEST(CodePage, StringCaseFunctions) {
    std::string text = "Ab\x9A\xFF\xDF";
    ToLower(text);
    EXPECT_EQ(text, "ab\x9A\xFF\xDF");
    ToUpper(text);
    EXPECT_EQ(text, "AB\x8A\x9F\xDF");
    EXPECT_EQ(LowerCopy("MiDi"), "midi");
    EXPECT_TRUE(EqualsNoCase("Font", "FONT"));
    EXPECT_TRUE(EqualsNoCase("\x9A", "\x8A"));
    EXPECT_FALSE(EqualsNoCase("Font", "Fon"));
    EXPECT_FALSE(EqualsNoCase(" Font ", "Font"));
}

TEST(CodePage, Utf8ConversionRoundTrips) {
    EXPECT_EQ(CodePageToUtf8("a\x80\x9A\xE9"), "a\u20AC\u0161\u00E9");
    EXPECT_EQ(Utf8ToCodePage("a\u20AC\u0161\u00E9"), "a\x80\x9A\xE9");
    EXPECT_EQ(Utf8ToCodePage("x\u4E2Dy"), "xy"); // not in the code page: dropped
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(Utf8ToCodePage(CodePageToUtf8(all)), all);
}

TEST(TextFunctions, TrimAndBlanks) {
    struct {
        const char* in;
        const char* out;
    } rows[] = {{"  a b \t", "a b"}, {"\r\n \t", ""}, {"", ""}, {"x", "x"}, {"\va\v", "\va\v"}};
    for (const auto& row : rows) {
        std::string text = row.in;
        Trim(text);
        EXPECT_EQ(text, row.out) << row.in;
    }
    EXPECT_TRUE(HasLineBreak("a\rb"));
    EXPECT_TRUE(HasLineBreak("a\n"));
    EXPECT_FALSE(HasLineBreak("a b\t"));
}

TEST(TextFunctions, NumberConversions) {
    EXPECT_EQ(IntToStr(-42), "-42");
    EXPECT_EQ(IntToStr(255, 16), "ff");
    EXPECT_EQ(IntToStr(-1, 16), "ffffffffffffffff");
    EXPECT_EQ(UIntToStr(4294967295u), "4294967295");
    EXPECT_EQ(UIntToStr(5, 2), "101");

    struct {
        const char* text;
        int32_t value;
    } ints[] = {{"42", 42},
                {"  -17abc", -17},
                {"+8", 8},
                {"abc", 0},
                {"", 0},
                {"99999999999", INT32_MAX},
                {"-99999999999", INT32_MIN},
                {"0x10", 0},
                {"\t12 13", 12}};
    for (const auto& row : ints)
        EXPECT_EQ(StrToInt(row.text), row.value) << row.text;

    EXPECT_DOUBLE_EQ(StrToFloat("2.5e3x"), 2500.0);
    EXPECT_DOUBLE_EQ(StrToFloat(" -0.5"), -0.5);
    EXPECT_DOUBLE_EQ(StrToFloat("z"), 0.0);
}

TEST(TextFunctions, BooleanTexts) {
    for (const char* falseText : {"", "0", "f", "F", "false", "FALSE", "False"})
        EXPECT_FALSE(StrToBool(falseText)) << falseText;
    for (const char* trueText : {"1", "true", "yes", "no", "00", " 0", "fals"})
        EXPECT_TRUE(StrToBool(trueText)) << trueText;

    struct {
        char style;
        const char* yes;
        const char* no;
    } styles[] = {{'0', "1", "0"},        {'F', "True", "False"}, {'G', "T", "F"},
                  {'U', "TRUE", "FALSE"}, {'g', "t", "f"},        {'x', "true", "false"}};
    for (const auto& row : styles) {
        EXPECT_EQ(BoolToStr(true, row.style), row.yes);
        EXPECT_EQ(BoolToStr(false, row.style), row.no);
    }
}

namespace {
std::vector<std::string> Tokens(const std::string& text) {
    std::vector<std::string> tokens;
    std::string token;
    size_t position = 0;
    while (NextToken(text, token, position))
        tokens.push_back(token);
    return tokens;
}
} // namespace

TEST(TextFunctions, NextTokenSplitsCommandLines) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Tokens("-disk 1 a.disk"), (V{"-disk", "1", "a.disk"}));
    EXPECT_EQ(Tokens("  \t\r\n "), V{});
    EXPECT_EQ(Tokens(""), V{});
    EXPECT_EQ(Tokens("-disk 0 \"My Disks/a b.disk\" -noask"),
              (V{"-disk", "0", "My Disks/a b.disk", "-noask"}));
    EXPECT_EQ(Tokens("\"\" x"), (V{"", "x"}));
    EXPECT_EQ(Tokens("a \"open ended"), (V{"a", "open ended"}));
    EXPECT_EQ(Tokens("a\"b c"), (V{"a\"b", "c"}));
}

TEST(TextFunctions, NextTokenPositions) {
    std::string token;
    size_t position = 0;
    ASSERT_TRUE(NextToken("ab cd", token, position));
    EXPECT_EQ(position, 3u);
    ASSERT_TRUE(NextToken("ab cd", token, position));
    EXPECT_EQ(token, "cd");
    EXPECT_EQ(position, 5u);
    EXPECT_FALSE(NextToken("ab cd", token, position));
    position = 0;
    ASSERT_TRUE(NextToken("\"q\"rest", token, position));
    EXPECT_EQ(token, "q");
    EXPECT_EQ(position, 3u);
}

TEST(TextFunctions, NextLineEndsAtEveryKindOfBreak) {
    const std::string text = "a\r\nb\rc\n\nd";
    std::vector<std::string> lines;
    std::string line;
    size_t position = 0;
    while (NextLine(text, line, position))
        lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "c", "", "d"}));

    lines.clear();
    position = 0;
    while (NextLine("x\r\n", line, position))
        lines.push_back(line);
    EXPECT_EQ(lines, std::vector<std::string>{"x"});
    position = 0;
    EXPECT_FALSE(NextLine("", line, position));
}

TEST(TextFunctions, NextPart) {
    std::vector<std::string> parts;
    std::string part;
    size_t position = 0;
    while (NextPart("1, 2,,3", ",", part, position))
        parts.push_back(part);
    EXPECT_EQ(parts, (std::vector<std::string>{"1", " 2", "", "3"}));
    position = 0;
    EXPECT_FALSE(NextPart("abc", "", part, position));
    position = 0;
    ASSERT_TRUE(NextPart("a<>b", "<>", part, position));
    EXPECT_EQ(part, "a");
    EXPECT_EQ(position, 3u);
}

TEST(TextFunctions, PathParts) {
    struct {
        const char* path;
        const char* name;
        const char* changed;
    } rows[] = {
        {"/home/u/games/a.disk", "a.disk", "/home/u/games/a.ini"},
        {"C:\\Disks\\b.disk", "b.disk", "C:\\Disks\\b.ini"},
        {"C:c", "c", "C:c.ini"},
        {"/dir.v2/file", "file", "/dir.v2/file.ini"},
        {"noext", "noext", "noext.ini"},
        {"dir/", "", "dir/.ini"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FileNamePart(row.path), row.name) << row.path;
        EXPECT_EQ(ChangeExtension(row.path, ".ini"), row.changed) << row.path;
    }
}

TEST(TextFunctions, ProgramPathIsThisExecutable) {
    const std::string path = ProgramPath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.front(), '/');
    EXPECT_TRUE(std::filesystem::exists(path));
    const std::string directory = ProgramDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_EQ(directory.back(), '/');
    EXPECT_EQ(directory + FileNamePart(path), path);
}

class WholeFileTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(directory.empty()); }
    testhelpers::CTemporaryDirectory temporary;
    const std::string& directory = temporary.path;
};

TEST_F(WholeFileTest, WritesAndReadsLargeBinaryText) {
    std::string text;
    for (int i = 0; i < 5000; ++i)
        text += static_cast<char>(i * 7);
    const std::string path = directory + "/f.bin";
    ASSERT_TRUE(WriteWholeFile(path, text));
    std::string back = "old";
    ASSERT_TRUE(ReadWholeFile(path, back));
    EXPECT_EQ(back, text);
    ASSERT_TRUE(WriteWholeFile(path, "short"));
    ASSERT_TRUE(ReadWholeFile(path, back));
    EXPECT_EQ(back, "short");
}

TEST_F(WholeFileTest, FailuresLeaveTheOutTextAlone) {
    std::string text = "unchanged";
    EXPECT_FALSE(ReadWholeFile(directory + "/missing", text));
    EXPECT_FALSE(ReadWholeFile(directory, text)); // a directory cannot be read as a file
    EXPECT_EQ(text, "unchanged");
    EXPECT_FALSE(WriteWholeFile(directory + "/no/such/dir/f", "x"));
}

TEST_F(WholeFileTest, ReplaceKeepsTheOldFileWhenItCannotWrite) {
    const std::string path = directory + "/settings.ini";
    ASSERT_TRUE(ReplaceWholeFile(path, "first"));
    std::string back;
    ASSERT_TRUE(ReadWholeFile(path, back));
    EXPECT_EQ(back, "first");
    ASSERT_TRUE(ReplaceWholeFile(path, "second"));
    ASSERT_TRUE(ReadWholeFile(path, back));
    EXPECT_EQ(back, "second");

    {
        // A full disk: writes beyond a few bytes fail.
        CFileSizeLimit limit(4);
        EXPECT_FALSE(ReplaceWholeFile(path, "a text longer than the limit"));
        EXPECT_EQ(errno, EFBIG);
    }
    ASSERT_TRUE(ReadWholeFile(path, back));
    EXPECT_EQ(back, "second");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory), {}), 1)
        << "no temporary file may be left behind";
}

TEST_F(WholeFileTest, ReplaceFailsWhenTheTargetIsADirectory) {
    const std::string path = directory + "/taken";
    std::filesystem::create_directories(path + "/inside");
    EXPECT_FALSE(ReplaceWholeFile(path, "x"));
    EXPECT_TRUE(std::filesystem::is_directory(path));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory), {}), 1);
}

TEST_F(WholeFileTest, ReplaceFollowsALinkAndKeepsPermissions) {
    const std::string target = directory + "/real.ini";
    const std::string link = directory + "/link.ini";
    ASSERT_TRUE(WriteWholeFile(target, "old"));
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    std::filesystem::create_symlink("real.ini", link);
    ASSERT_TRUE(ReplaceWholeFile(link, "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    std::string back;
    ASSERT_TRUE(ReadWholeFile(target, back));
    EXPECT_EQ(back, "new");
    struct stat info {};
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}
