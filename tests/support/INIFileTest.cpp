#include "support/INIFile.h"
#include "support/INIError.h"
#include "support/TextFunctions.h"

#include "common/FileTestHelpers.h"

#include <gtest/gtest.h>

#include <functional>

using namespace qm;

namespace {

std::string Serialized(const CINIFile& file) {
    std::string text;
    file.Serialize(text);
    return text;
}

std::string RoundTrip(const std::string& text) {
    CINIFile file;
    file.Parse(text);
    return Serialized(file);
}

// Runs `action` and returns the kind of the CINIError it throws (-1 when it does not).
template <typename F>
CINIError Thrown(F action) {
    try {
        action();
    } catch (const CINIError& error) {
        return error;
    }
    ADD_FAILURE() << "no CINIError thrown";
    return CINIError(-1);
}

} // namespace

TEST(INIParse, KeepsEveryLineInOrder) {
    const std::string text = "; head\r\n\r\n[Font]\r\nName=Courier\r\n;note\r\n\r\n[Disks]\r\n"
                             "Count=8\r\n";
    EXPECT_EQ(RoundTrip(text), text);
    CINIFile file;
    file.Parse(text);
    ASSERT_EQ(file.GetSectionCount(), 3u);
    EXPECT_EQ(file.GetSection(0).name, "");
    EXPECT_EQ(file.GetSection(0).items.size(), 2u);
    EXPECT_EQ(file.GetSection(0).items[1], nullptr);
    EXPECT_EQ(file.GetSection(1).name, "Font");
    EXPECT_EQ(file.GetSection(1).items.size(), 3u); // Name, the comment, the empty line
}

TEST(INIParse, NormalisesLayout) {
    struct {
        const char* in;
        const char* out;
    } rows[] = {
        {"[A]\nk = v \n", "[A]\r\nk=v\r\n"},
        {"\t[A]\r  key\t=\tvalue with = sign\r", "[A]\r\nkey=value with = sign\r\n"},
        {"[A]\nk=\n", "[A]\r\nk=\r\n"},
        {"[A]\nk=\"  x  \"\n", "[A]\r\nk=\"  x  \"\r\n"},
        {"[A]\nk=\"quoted\"\n", "[A]\r\nk=quoted\r\n"},
        {"[A]\nk=\"\n", "[A]\r\nk=\"\r\n"},
        {"[A]\nk=\"\"\n", "[A]\r\nk=\r\n"},
        {"[A]\n#k=1\n", "[A]\r\n#k=1\r\n"},
        {"  ; spaced\n[A]\n", "; spaced\r\n\r\n[A]\r\n"},
        {"[A]\n[B]\n", "[A]\r\n\r\n[B]\r\n"},
        {"", ""},
        {"\n\n", "\r\n\r\n"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(RoundTrip(row.in), row.out) << row.in;
}

TEST(INIParse, ValuesAndNames) {
    CINIFile file;
    file.Parse("[ Font ]\nk=\"  x  \"\n[Font]\nq=\"a\"b\"\n");
    EXPECT_EQ(file.FindSection(" Font "), 1);
    EXPECT_EQ(file.FindSection("FONT"), 2);
    std::string value;
    file.GetString(" font ", "K", value);
    EXPECT_EQ(value, "  x  ");
    file.GetString("Font", "q", value);
    EXPECT_EQ(value, "a\"b");
}

TEST(INIParse, Errors) {
    struct {
        const char* text;
        int32_t kind;
        uint32_t position;
        uint32_t row;
        uint32_t column;
    } rows[] = {
        {"k=1\n", kININoSection, 0, 0, 0},
        {";c\n\nk=1\n[A]\n", kININoSection, 0, 0, 0},
        {"[A]\n[Font\n", kINISyntax, 10, 3, 1},
        {"[A]\n[]\n", kINIEmptyString, 7, 3, 1},
        {"[Font]\n[FONT]\n", kINIDuplicateName, 0, 0, 0},
        {"[A]\nk=1\nK=2\n", kINIDuplicateName, 0, 0, 0},
        {"[A]\njunk", kINISyntax, 8, 2, 5},
        {"[A]\r\njunk\r\nx=1", kINISyntax, 11, 3, 1},
        {"[A]\n=v\n", kINIEmptyString, 7, 3, 1},
        {"[A]\n  = v\n", kINIEmptyString, 10, 3, 1},
        {"[A]\n]\n", kINISyntax, 6, 3, 1},
        {"[\n", kINISyntax, 2, 2, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        CINIFile file;
        const CINIError error = Thrown([&] { file.Parse(row.text); });
        EXPECT_EQ(error.kind, row.kind);
        EXPECT_EQ(error.position, row.position);
        EXPECT_EQ(error.row, row.row);
        EXPECT_EQ(error.column, row.column);
        EXPECT_EQ(error.GetText(), "Błąd parsera");
    }
}

TEST(INIParse, ThrowingParseKeepsWhatCameBefore) {
    CINIFile file;
    file.Parse("[Old]\nx=1\n");
    Thrown([&] { file.Parse("[A]\na=1\n[B]\nbad\n"); });
    EXPECT_EQ(file.FindSection("Old"), -1);
    std::string value;
    file.GetString("A", "a", value);
    EXPECT_EQ(value, "1");
    EXPECT_EQ(file.FindSection("B"), 2);
}

TEST(INISerialize, EmptyLineBeforeHeaders) {
    CINIFile file;
    file.AddComment("", "first");
    file.SetString("A", "k", "v");
    EXPECT_EQ(Serialized(file), ";first\r\n\r\n[A]\r\nk=v\r\n");

    CINIFile spaced;
    spaced.AddComment("", "first");
    spaced.AddEmptyLine("");
    spaced.SetString("A", "k", "v");
    EXPECT_EQ(Serialized(spaced), ";first\r\n\r\n[A]\r\nk=v\r\n");

    CINIFile bare;
    bare.SetInt("A", "n", -5);
    bare.SetString("B", "s", "x");
    EXPECT_EQ(Serialized(bare), "[A]\r\nn=-5\r\n\r\n[B]\r\ns=x\r\n");
}

TEST(INISerialize, QuotesValuesWithOuterBlanks) {
    struct {
        const char* value;
        const char* line;
    } rows[] = {{"plain", "k=plain"}, {" lead", "k=\" lead\""}, {"trail\t", "k=\"trail\t\""},
                {"", "k="},           {"\"q\"", "k=\"q\""},     {"in side", "k=in side"}};
    for (const auto& row : rows) {
        CINIFile file;
        file.SetString("S", "k", row.value);
        EXPECT_EQ(Serialized(file), std::string("[S]\r\n") + row.line + "\r\n") << row.value;
    }
    // A value stored with its own marks loses them when read again.
    CINIFile file;
    file.SetString("S", "k", "\"q\"");
    CINIFile again;
    again.Parse(Serialized(file));
    std::string value;
    again.GetString("S", "k", value);
    EXPECT_EQ(value, "q");
}

TEST(INISerialize, InvalidContentThrowsAtTheEndOfTheTextSoFar) {
    CINIFile file;
    file.SetString("S", "k", "v");
    file.SetString("T", "k", "v");
    auto& section = const_cast<CINISection&>(file.GetSection(2));
    auto* key = static_cast<CINIKey*>(section.items[0].get());

    struct {
        const char* name;
        const char* value;
        int32_t kind;
    } rows[] = {{"", "v", kINIEmptyString},
                {"a=b", "v", kINIInvalidCharacters},
                {"a\nb", "v", kINIInvalidCharacters},
                {"k", "line\rbreak", kINIInvalidCharacters}};
    const std::string before = "[S]\r\nk=v\r\n\r\n[T]\r\n";
    for (const auto& row : rows) {
        key->name = row.name;
        key->value = row.value;
        std::string text;
        const CINIError error = Thrown([&] { file.Serialize(text); });
        EXPECT_EQ(error.kind, row.kind) << row.name;
        EXPECT_EQ(error.position, before.size());
        EXPECT_EQ(error.row, 5u);
        EXPECT_EQ(error.column, 1u);
    }
    key->name = "k";
    key->value = "v";
    section.items.push_back(std::make_unique<CINIComment>("a\r\nb"));
    EXPECT_EQ(Thrown([&] {
                  std::string text;
                  file.Serialize(text);
              }).kind,
              kINIInvalidCharacters);
    section.items.pop_back();
    const_cast<CINISection&>(file.GetSection(1)).name = "";
    EXPECT_EQ(Thrown([&] {
                  std::string text;
                  file.Serialize(text);
              }).kind,
              kINIEmptyString);
}

TEST(INIEdit, AddChecks) {
    CINIFile file;
    file.AddSection("A");
    struct {
        const char* what;
        std::function<void()> action;
        int32_t kind;
    } rows[] = {
        {"section at 0", [&] { file.AddSection("B", 0); }, kINIInternal},
        {"empty section", [&] { file.AddSection(""); }, kINIEmptyString},
        {"duplicate section", [&] { file.AddSection("a"); }, kINIDuplicateName},
        {"section with break", [&] { file.AddSection("x\ny"); }, kINIInvalidCharacters},
        {"empty key", [&] { file.SetString("A", "", "v"); }, kINIEmptyString},
        {"key with =", [&] { file.SetString("A", "a=b", "v"); }, kINIInvalidCharacters},
        {"key with break", [&] { file.SetString("A", "a\r", "v"); }, kINIInvalidCharacters},
        {"value with break", [&] { file.SetString("A", "a", "v\n"); }, kINIInvalidCharacters},
        {"comment with break", [&] { file.AddComment("A", "c\n"); }, kINIInvalidCharacters},
        {"SetString unnamed", [&] { file.SetString("", "k", "v"); }, kINIEmptyString},
        {"SetInt unnamed", [&] { file.SetInt("", "k", 1); }, kINIEmptyString},
    };
    for (const auto& row : rows) {
        const CINIError error = Thrown(row.action);
        EXPECT_EQ(error.kind, row.kind) << row.what;
        EXPECT_EQ(error.position, 0u) << row.what;
        EXPECT_EQ(error.row, 0u) << row.what;
    }
    EXPECT_EQ(Serialized(file), "[A]\r\n");
}

TEST(INIEdit, DuplicateKeyThroughAddKey) {
    CINISection section("S");
    section.AddKey("k", "1");
    EXPECT_EQ(Thrown([&] { section.AddKey("K", "2"); }).kind, kINIDuplicateName);
    section.SetKey("K", "3");
    EXPECT_EQ(section.GetKey("k")->value, "3");
    EXPECT_EQ(section.items.size(), 1u);
}

TEST(INIEdit, InsertionPositions) {
    CINIFile file;
    file.Parse("[S]\na=1\n;c\n\n\n[T]\n");
    file.SetString("S", "b", "2");        // before the trailing empty lines
    file.AddComment("S", "end");          // the document's AddComment appends
    file.AddEmptyLine("S", 0);            // explicit position
    file.SetString("S", "a", "replaced"); // in place
    EXPECT_EQ(Serialized(file),
              "[S]\r\n\r\na=replaced\r\n;c\r\nb=2\r\n\r\n\r\n;end\r\n\r\n[T]\r\n");

    CINISection empties("E");
    empties.AddEmptyLine();
    empties.AddEmptyLine();
    empties.AddKey("k", "v"); // only empty lines: at the end
    EXPECT_EQ(empties.FindKey("k"), 2);
    empties.AddComment("c", 1, true);
    EXPECT_EQ(empties.items.size(), 4u);
    EXPECT_NE(empties.items[1], nullptr);
    empties.AddKey("z", "v", 999); // past the end: appended
    EXPECT_EQ(empties.FindKey("z"), 4);
    empties.AddEmptyLine();
    empties.AddComment("no flag", kNoPosition, false);
    EXPECT_NE(empties.items.back(), nullptr);
    EXPECT_EQ(empties.FindKey("missing"), -1);
}

TEST(INIEdit, SectionsAtPositions) {
    CINIFile file;
    file.AddSection("C");
    file.AddSection("A", 1);
    file.AddSection("B", 2);
    file.AddSection("Z", 100);
    EXPECT_EQ(file.FindSection("a"), 1);
    EXPECT_EQ(file.FindSection("b"), 2);
    EXPECT_EQ(file.FindSection("c"), 3);
    EXPECT_EQ(file.FindSection("z"), 4);
    EXPECT_EQ(file.FindSection("y"), -1);
    EXPECT_EQ(file.FindSection(""), 0);
    file.AddComment("New", "created");
    EXPECT_EQ(file.FindSection("New"), 5);
    file.Clear();
    EXPECT_EQ(file.GetSectionCount(), 1u);
    EXPECT_EQ(Serialized(file), "");
}

TEST(INIEdit, CommentsKeepTheirLeadingBlank) {
    CINIFile file;
    file.AddComment("", " Tarquil user settings");
    file.SetString("S", "k", "v", true);
    CINIFile again;
    again.Parse(Serialized(file));
    EXPECT_EQ(static_cast<const CINIComment*>(again.GetSection(0).items[0].get())->text,
              " Tarquil user settings");
    std::string value;
    again.GetString("S", "k", value);
    EXPECT_EQ(value, "v");
}

TEST(INIGet, TypedLookups) {
    CINIFile file;
    file.Parse("[S]\nn=42x\nm=-7\nb=false\nt=yes\ns=text\nempty=\n");
    struct {
        const char* section;
        const char* key;
        int32_t expected;
    } ints[] = {{"S", "n", 42}, {"s", "M", -7}, {"S", "s", 0}, {"S", "none", 99}, {"X", "n", 99}};
    for (const auto& row : ints) {
        int32_t value = 99;
        file.GetInt(row.section, row.key, value);
        EXPECT_EQ(value, row.expected) << row.key;
    }
    bool flag = true;
    file.GetBool("S", "b", flag);
    EXPECT_FALSE(flag);
    file.GetBool("S", "t", flag);
    EXPECT_TRUE(flag);
    file.GetBool("S", "empty", flag);
    EXPECT_FALSE(flag);
    flag = true;
    file.GetBool("S", "absent", flag);
    EXPECT_TRUE(flag);
    std::string text = "keep";
    file.GetString("Nope", "s", text);
    EXPECT_EQ(text, "keep");
    file.GetString("S", "empty", text);
    EXPECT_EQ(text, "");
}

class INIFileOnDisk : public testing::Test {
protected:
    testhelpers::CTemporaryDirectory directory;
};

TEST_F(INIFileOnDisk, SaveAndLoad) {
    const std::string path = directory.path + "/t.ini";
    CINIFile file("t.ini");
    EXPECT_EQ(file.GetFileName(), "t.ini");
    file.SetString("Font", "Name", "  Lucida  ");
    ASSERT_TRUE(file.Save(path));
    CINIFile loaded;
    ASSERT_TRUE(loaded.Load(path));
    std::string name;
    loaded.GetString("font", "name", name);
    EXPECT_EQ(name, "  Lucida  ");
}

TEST_F(INIFileOnDisk, FailedLoadLeavesTheDocumentAlone) {
    CINIFile file;
    file.Parse("[Keep]\nk=v\n");
    EXPECT_FALSE(file.Load(directory.path + "/missing.ini"));
    EXPECT_FALSE(file.Load(directory.path));
    EXPECT_EQ(file.FindSection("Keep"), 1);
    EXPECT_FALSE(file.Save(directory.path + "/no/dir/x.ini"));
}

TEST_F(INIFileOnDisk, LoadThrowsParseErrors) {
    const std::string path = directory.path + "/bad.ini";
    ASSERT_TRUE(qm::WriteWholeFile(path, "[A]\r\nbroken\r\n"));
    CINIFile file;
    const CINIError error = Thrown([&] { file.Load(path); });
    EXPECT_EQ(error.kind, kINISyntax);
    EXPECT_EQ(error.row, 3u);
}
