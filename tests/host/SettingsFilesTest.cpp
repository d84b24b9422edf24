#include "host/SettingsFiles.h"

#include "support/ErrorStack.h"
#include "support/INIFile.h"
#include "support/TextFunctions.h"

#include "common/FileTestHelpers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace {

std::vector<std::string> TakeErrors() {
    std::vector<std::string> messages; // newest first
    std::string text;
    while (qm::PopError(text))
        messages.push_back(text);
    return messages;
}

class SettingsFilesTest : public testing::Test {
protected:
    void SetUp() override { qm::ClearErrors(); }
    void TearDown() override { qm::ClearErrors(); }

    void Write(const char* name, const std::string& text) {
        ASSERT_TRUE(qm::WriteWholeFile(dir + name, text));
    }
    bool Read() { return ReadSettingsFiles(dir, machineConfig, userSettings); }

    testhelpers::CTemporaryDirectory temporary;
    const std::string dir = temporary.path + "/";
    qm::CINIFile machineConfig;
    qm::CINIFile userSettings;
};

const char* const kGoodConfig = "[Memory]\r\nSize=1m\r\n[Kernel]\r\nPriority=3\r\n";

} // namespace

TEST_F(SettingsFilesTest, ReadsBothDocuments) {
    Write("Tarquil1.ini", kGoodConfig);
    Write("Tarquil2.ini", "[Font]\nFaceName=Mono\n");
    ASSERT_TRUE(Read());
    EXPECT_EQ(qm::ErrorCount(), 0u);
    std::string size, face;
    machineConfig.GetString("memory", "size", size);
    userSettings.GetString("Font", "FaceName", face);
    EXPECT_EQ(size, "1m");
    EXPECT_EQ(face, "Mono");
}

TEST_F(SettingsFilesTest, ReadFailuresAndTheirMessages) {
    struct {
        const char* what;
        const char* config;     // null: no file
        const char* user;       // null: no file
        bool configIsDirectory; // a directory where the file should be
        const char* message;
    } rows[] = {
        {"no configuration", nullptr, "", false,
         "[.\\main,164] Unable to load configuration from file \"Tarquil1.ini\""},
        {"configuration unreadable", nullptr, "", true,
         "[.\\main,164] Unable to load configuration from file \"Tarquil1.ini\""},
        {"configuration malformed", "[Memory]\r\nSize=1m\r\nbroken line\r\n", "", false,
         "[.\\main,169] Error parsing configuration from \"Tarquil1.ini\" (index: 32,row: 4, "
         "col: 1, message: \"Błąd parsera\", type message: \"Błąd składni\")"},
        {"key before any section", "Size=1m\r\n[Memory]\r\n", "", false,
         "[.\\main,169] Error parsing configuration from \"Tarquil1.ini\" (index: 0,row: 0, "
         "col: 0, message: \"Błąd parsera\", type message: \"Brak sekcji\")"},
        {"no user settings", kGoodConfig, nullptr, false,
         "[.\\main,176] Unable to load configuration from file \"Tarquil2.ini\""},
        {"user settings malformed", kGoodConfig, "[Font]\n[]\n", false,
         "[.\\main,181] Error parsing configuration from \"Tarquil2.ini\" (index: 10,row: 3, "
         "col: 1, message: \"Błąd parsera\", type message: \"Łańcuch nie może być pusty\")"},
        {"user settings duplicate", kGoodConfig, "[Font]\n[font]\n", false,
         "[.\\main,181] Error parsing configuration from \"Tarquil2.ini\" (index: 0,row: 0, "
         "col: 0, message: \"Błąd parsera\", type message: \"Powtarzająca się nazwa\")"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::filesystem::remove_all(dir + "Tarquil1.ini");
        std::filesystem::remove_all(dir + "Tarquil2.ini");
        if (row.config)
            Write("Tarquil1.ini", row.config);
        if (row.configIsDirectory)
            std::filesystem::create_directory(dir + "Tarquil1.ini");
        if (row.user)
            Write("Tarquil2.ini", row.user);
        qm::PushError("stale message");
        EXPECT_FALSE(Read());
        EXPECT_EQ(TakeErrors(), std::vector<std::string>{row.message});
    }
}

TEST_F(SettingsFilesTest, UserSettingsAreNotReadAfterABadConfiguration) {
    Write("Tarquil2.ini", "[Font]\nFaceName=Mono\n");
    userSettings.Parse("[Before]\n");
    EXPECT_FALSE(Read());
    EXPECT_EQ(userSettings.FindSection("Font"), -1);
    EXPECT_EQ(userSettings.FindSection("Before"), 1);
}

TEST_F(SettingsFilesTest, WritesTheHeaderAndTheDevicesKeys) {
    qm::CINIFile document;
    PutUserSettingsHeader(document);
    document.SetString("Font", "FaceName", "Fixedsys");
    document.SetInt("Font", "Height", -12);
    document.SetString("Disks", "0", "");
    ASSERT_TRUE(WriteUserSettings(dir, document));
    std::string text;
    ASSERT_TRUE(qm::ReadWholeFile(dir + "Tarquil2.ini", text));
    EXPECT_EQ(text, "; Tarquil2.ini\r\n"
                    "\r\n"
                    "; This file contains settings which are managed by Tarquil.\r\n"
                    "; You can change it with dialog windows in the program.\r\n"
                    "\r\n"
                    "[Font]\r\n"
                    "FaceName=Fixedsys\r\n"
                    "Height=-12\r\n"
                    "\r\n"
                    "[Disks]\r\n"
                    "0=\r\n");
    // What the program writes it can read again.
    Write("Tarquil1.ini", kGoodConfig);
    ASSERT_TRUE(Read());
}

TEST_F(SettingsFilesTest, AFailedWriteKeepsThePreviousFile) {
    Write("Tarquil2.ini", "[Font]\r\nFaceName=Kept\r\n");
    qm::CINIFile document;
    PutUserSettingsHeader(document);
    document.SetString("Font", "FaceName", "New");
    {
        testhelpers::CFileSizeLimit fullDisk(16);
        EXPECT_FALSE(WriteUserSettings(dir, document));
    }
    EXPECT_EQ(TakeErrors(),
              std::vector<std::string>{
                  "[.\\main,299] Unable to save configuration to file \"Tarquil2.ini\""});
    std::string text;
    ASSERT_TRUE(qm::ReadWholeFile(dir + "Tarquil2.ini", text));
    EXPECT_EQ(text, "[Font]\r\nFaceName=Kept\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temporary.path), {}), 1);

    EXPECT_FALSE(WriteUserSettings(dir + "missing/", document));
    EXPECT_EQ(TakeErrors().size(), 1u);
}

TEST_F(SettingsFilesTest, ContentThatCannotBeWrittenIsReportedWithItsPlace) {
    Write("Tarquil2.ini", "old");
    qm::CINIFile document;
    PutUserSettingsHeader(document);
    document.SetString("Disks", "0", "a.disk");
    document.SetString("Disks", "0", "line\nbreak.disk"); // replacing a value is not checked
    EXPECT_FALSE(WriteUserSettings(dir, document));
    EXPECT_EQ(TakeErrors(),
              std::vector<std::string>{
                  "[.\\main,304] Unable to save configuration to file \"Tarquil2.ini\" (index: "
                  "147,row: 7, col: 1, message: \"Błąd parsera\", type message: \"Łańcuch "
                  "zawiera niedozwolone znaki\")"});
    std::string text;
    ASSERT_TRUE(qm::ReadWholeFile(dir + "Tarquil2.ini", text));
    EXPECT_EQ(text, "old");
}

TEST(SettingsLocation, IsTheProgramsDirectory) {
    EXPECT_EQ(DefaultSettingsDirectory(), qm::ProgramDirectory());
    EXPECT_NE(DefaultSettingsDirectory(), std::filesystem::current_path().string() + "/");
}
