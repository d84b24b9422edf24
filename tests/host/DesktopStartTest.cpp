// How the installed window program starts: where its settings live (beside the program or
// in the user's XDG folders, made from the installed defaults), and which arguments are
// disk images to open rather than the machine's options.
#include "host/OpenedImages.h"
#include "host/SettingsLocation.h"

#include "support/TextFunctions.h"

#include "common/FileTestHelpers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class DesktopStartTest : public testing::Test {
protected:
    DesktopStartTest() {
        fs::create_directories(program);
        fs::create_directories(defaults);
        Write(defaults + "Tarquil1.ini", "[Memory]\nSize=1m\n");
        Write(defaults + "Tarquil2.ini",
              "; Tarquil2.ini\n[Disks]\n0=@TARQUIL_SHARE_DIR@/disks/launcher.disk\n"
              "1=@TARQUIL_DATA_DIR@/data.disk\n");
        Write(defaults + "data.disk", std::string("Tarquil Disk 10") + '\0' + "data");
    }

    static void Write(const std::string& path, const std::string& text) {
        ASSERT_TRUE(qm::WriteWholeFile(path, text)) << path;
    }
    static std::string Read(const std::string& path) {
        std::string text;
        qm::ReadWholeFile(path, text);
        return text;
    }

    SSettingsLocation Find() {
        return FindSettingsLocation(program, [this](const char* name) -> const char* {
            const auto found = environment.find(name);
            return found == environment.end() ? nullptr : found->second.c_str();
        });
    }

    testhelpers::CTemporaryDirectory temporary;
    const std::string root = temporary.path + "/";
    const std::string program = root + "prefix/bin/";
    const std::string defaults = root + "prefix/share/tarquil/";
    std::map<std::string, std::string> environment{{"HOME", root + "home"}};
};

TEST_F(DesktopStartTest, SettingsLiveBesideTheProgramOnlyWhenItsMachineConfigurationIsThere) {
    // Installed: the home's XDG defaults, then the XDG variables; relative values do not count.
    SSettingsLocation location = Find();
    EXPECT_FALSE(location.portable);
    EXPECT_EQ(location.settingsDirectory, root + "home/.config/tarquil/");
    EXPECT_EQ(location.dataDirectory, root + "home/.local/share/tarquil/");
    environment["XDG_CONFIG_HOME"] = root + "config";
    environment["XDG_DATA_HOME"] = "relative/data";
    location = Find();
    EXPECT_EQ(location.settingsDirectory, root + "config/tarquil/");
    EXPECT_EQ(location.dataDirectory, root + "home/.local/share/tarquil/");

    // Portable: a Tarquil1.ini beside the program keeps everything there.
    Write(program + "Tarquil1.ini", "[Memory]\nSize=1m\n");
    location = Find();
    EXPECT_TRUE(location.portable);
    EXPECT_EQ(location.settingsDirectory, program);
    EXPECT_EQ(location.dataDirectory, program);
    std::string error;
    EXPECT_TRUE(PrepareSettingsLocation(location, defaults, error));
    EXPECT_FALSE(fs::exists(program + "Tarquil2.ini"));
    EXPECT_FALSE(fs::exists(root + "config"));
}

TEST_F(DesktopStartTest, TheFirstStartMakesTheUsersFilesFromTheInstalledDefaultsAndNeverAgain) {
    environment["XDG_CONFIG_HOME"] = root + "config";
    environment["XDG_DATA_HOME"] = root + "data";
    const SSettingsLocation location = Find();
    EXPECT_EQ(InstalledDefaultsDirectory(program, "../share/tarquil"), defaults);

    std::string error;
    ASSERT_TRUE(PrepareSettingsLocation(location, defaults, error)) << error;
    const std::string config = root + "config/tarquil/";
    EXPECT_EQ(Read(config + "Tarquil1.ini"), Read(defaults + "Tarquil1.ini"));
    // The user settings name the installed launcher and the user's own data disk.
    EXPECT_EQ(Read(config + "Tarquil2.ini"), "; Tarquil2.ini\n[Disks]\n0=" + root +
                                                 "prefix/share/tarquil/disks/launcher.disk\n" +
                                                 "1=" + root + "data/tarquil/data.disk\n");
    EXPECT_EQ(Read(root + "data/tarquil/data.disk"), Read(defaults + "data.disk"));

    // What the user has is theirs: edited files stay, and once the machine configuration
    // exists a missing user settings file is not made again (the start reports it).
    Write(config + "Tarquil1.ini", "[Memory]\nSize=4m\n");
    Write(root + "data/tarquil/data.disk", "written by a program");
    fs::remove(config + "Tarquil2.ini");
    ASSERT_TRUE(PrepareSettingsLocation(location, defaults, error)) << error;
    EXPECT_EQ(Read(config + "Tarquil1.ini"), "[Memory]\nSize=4m\n");
    EXPECT_EQ(Read(root + "data/tarquil/data.disk"), "written by a program");
    EXPECT_FALSE(fs::exists(config + "Tarquil2.ini"));

    // Without installed defaults nothing is made, and the reason is given.
    fs::remove_all(config);
    fs::remove(defaults + "Tarquil2.ini");
    EXPECT_FALSE(PrepareSettingsLocation(location, defaults, error));
    EXPECT_NE(error.find("Tarquil2.ini"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(config + "Tarquil1.ini"));
}

TEST(DesktopArgumentsTest, BareArgumentsAreImagesAndOptionsKeepTheirValues) {
    std::vector<std::string> arguments{"-noask",     "-DISK",           "0",
                                       "slot0.disk", "game.disk",       "-boot",
                                       "2",          "/abs/other.disk", "-disksempty"};
    const std::vector<std::string> images = TakeImageArguments(arguments);
    EXPECT_EQ(images, (std::vector<std::string>{(fs::current_path() / "game.disk").string(),
                                                "/abs/other.disk"}));
    EXPECT_EQ(arguments, (std::vector<std::string>{"-noask", "-DISK", "0", "slot0.disk", "-boot",
                                                   "2", "-disksempty"}));
    // An option missing its values keeps what there is; the machine reports it.
    arguments = {"x.disk", "-disk", "1"};
    EXPECT_EQ(TakeImageArguments(arguments).size(), 1u);
    EXPECT_EQ(arguments, (std::vector<std::string>{"-disk", "1"}));
}

} // namespace
