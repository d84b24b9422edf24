// The demo disks running in the headless runner, driven by scripted keys and read back
// from the screen text, the title messages, the picture and the disks they write.
#include "ProgramTestHelpers.h"
#include "common/FileTestHelpers.h"
#include "tools/disk/DiskImageFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <png.h>
#include <regex>
#include <set>

using namespace programtests;

namespace {

std::string Disk(const std::string& name) {
    return BuildDir() + "/" + name + ".disk";
}

// A copy of a demo disk for one test: a writable slot locks its image, so tests that run
// side by side must not share one.
std::string Stage(const testhelpers::CTemporaryDirectory& dir, const std::string& name) {
    const std::string copy = dir.path + "/" + name + ".disk";
    std::filesystem::copy_file(Disk(name), copy, std::filesystem::copy_options::overwrite_existing);
    return copy;
}

SCommandResult RunMachine(const std::vector<std::string>& arguments) {
    return RunProgram(Tool("tarquil-run"), arguments);
}

// The rows of the text screen as the runner prints them after "screen: ...".
std::vector<std::string> ScreenRows(const SCommandResult& result) {
    std::vector<std::string> rows;
    bool inScreen = false;
    for (const std::string& line : result.Lines()) {
        if (line.rfind("screen: ", 0) == 0) {
            inScreen = true;
            continue;
        }
        if (inScreen)
            rows.push_back(line);
    }
    return rows;
}

bool ScreenShows(const SCommandResult& result, const std::string& text) {
    for (const std::string& row : ScreenRows(result))
        if (row.find(text) != std::string::npos)
            return true;
    return false;
}

std::vector<std::string> Titles(const SCommandResult& result) {
    std::vector<std::string> titles;
    for (const std::string& line : result.Lines())
        if (line.rfind("title: ", 0) == 0)
            titles.push_back(line.substr(7));
    return titles;
}

std::string Describe(const SCommandResult& result) {
    return "exit " + std::to_string(result.exitCode) + "\n" + result.out + result.err;
}

std::string NewDataDisk(const std::string& directory) {
    const std::string path = directory + "/data.disk";
    std::string error;
    EXPECT_TRUE(CreateEmptyDisk(path, 65536, error)) << error;
    return path;
}

TEST(DemoPrograms, TutorialProgramGreetsEchoesAndSaysGoodbye) {
    testhelpers::CTemporaryDirectory dir;
    const std::string disk = dir.path + "/hello.disk";
    ASSERT_EQ(
        RunProgram(Tool("tarquil-asm"), {SourceDir() + "/docs/examples/hello.asm", "-o", disk})
            .exitCode,
        0);
    const SCommandResult result = RunMachine({disk, "--keys", "Hi{Esc}", "--text"});
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    const std::vector<std::string> expected = {"title: Goodbye",
                                               "stop: idle",
                                               "screen: 1 80x25",
                                               "Hello, Tarquil! Type something (Esc ends):",
                                               "",
                                               "Hi"};
    const std::vector<std::string> lines = result.Lines();
    ASSERT_GE(lines.size(), expected.size()) << Describe(result);
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(lines[i], expected[i]) << Describe(result);
}

TEST(DemoPrograms, LauncherListsTheProgramsAndTheMachine) {
    testhelpers::CTemporaryDirectory dir;
    const SCommandResult result = RunMachine({Stage(dir, "launcher"), "--text"});
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    EXPECT_TRUE(result.HasLine("stop: idle")) << Describe(result);
    EXPECT_EQ(Titles(result), std::vector<std::string>{"Demo disk"});
    EXPECT_TRUE(ScreenShows(result, "T A R Q U I L   -   demo disk")) << Describe(result);
    for (const char* item : {"1  Plasma", "2  Snake", "3  Tune", "4  Notes"})
        EXPECT_TRUE(ScreenShows(result, item)) << item;
    EXPECT_TRUE(ScreenShows(result, "Memory: 1048576 bytes    Disk slots: 8    MIDI: off"))
        << Describe(result);
}

TEST(DemoPrograms, LauncherStartsTheProgramChosenWithTheArrows) {
    testhelpers::CTemporaryDirectory dir;
    const SCommandResult result =
        RunMachine({Stage(dir, "launcher"), "--keys", "{Down}{Down}{Down}{Up}{Enter}", "--text"});
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    EXPECT_TRUE(result.HasLine("stop: idle")) << Describe(result);
    const std::vector<std::string> titles = Titles(result);
    ASSERT_FALSE(titles.empty());
    EXPECT_EQ(titles.back(), "Tune - finished") << Describe(result);
    EXPECT_TRUE(ScreenShows(result, "The end.")) << Describe(result);
}

TEST(DemoPrograms, LauncherStartsTheProgramChosenByItsNumber) {
    testhelpers::CTemporaryDirectory dir;
    const std::string data = NewDataDisk(dir.path);
    const SCommandResult result =
        RunMachine({Stage(dir, "launcher"), data, "--keys", "4Kept{Enter}", "--text"});
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    EXPECT_TRUE(ScreenShows(result, "Data disk: slot 1")) << Describe(result);
    EXPECT_TRUE(ScreenShows(result, "The disk holds this note: Kept")) << Describe(result);
}

TEST(DemoPrograms, PlasmaAnimatesAGraphicsScreenWithATimer) {
    testhelpers::CTemporaryDirectory dir;
    const std::string png = dir.path + "/plasma.png";
    const auto frame = SymbolOf(SourceDir() + "/programs/plasma.asm", "frame");
    ASSERT_TRUE(frame.has_value());
    const SCommandResult result =
        RunMachine({Stage(dir, "plasma"), "--timeout", "1.5", "--text", "--png", png, "--dump",
                    std::to_string(*frame) + ":4"});
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    EXPECT_TRUE(result.HasLine("stop: timeout")) << Describe(result);
    EXPECT_TRUE(result.HasLine("screen: 2 160x100")) << Describe(result);
    EXPECT_EQ(Titles(result), std::vector<std::string>{"Plasma"});

    // Frames were drawn one per timer tick, well more than the first one.
    std::smatch match;
    const std::regex dumped("mem [0-9]+: ([0-9a-f]{2})([0-9a-f]{2})([0-9a-f]{2})([0-9a-f]{2})");
    ASSERT_TRUE(std::regex_search(result.out, match, dumped)) << Describe(result);
    const unsigned frames =
        std::stoul(match[4].str() + match[3].str() + match[2].str() + match[1].str(), nullptr, 16);
    EXPECT_GE(frames, 3u) << Describe(result);

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, png.c_str())) << png;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
    EXPECT_EQ(image.width, 160u);
    EXPECT_EQ(image.height, 100u);
    std::set<uint32_t> colours;
    for (size_t i = 0; i + 2 < pixels.size(); i += 3)
        colours.insert(pixels[i] | pixels[i + 1] << 8 | pixels[i + 2] << 16);
    EXPECT_GE(colours.size(), 64u);
}

TEST(DemoPrograms, SnakeKeepsTheScoreInTheTitleUntilTheWall) {
    testhelpers::CTemporaryDirectory dir;
    const SCommandResult result =
        RunMachine({Stage(dir, "snake"), "--keys", "{Up}", "--seed", "1", "--text"});
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    EXPECT_TRUE(result.HasLine("stop: idle")) << Describe(result);
    const std::vector<std::string> titles = Titles(result);
    ASSERT_GE(titles.size(), 2u) << Describe(result);
    EXPECT_EQ(titles.front(), "Snake - score 0");
    EXPECT_TRUE(std::regex_match(titles.back(), std::regex("Snake - game over - score [0-9]+")))
        << titles.back();
    EXPECT_TRUE(ScreenShows(result, "Game over - Enter plays again")) << Describe(result);
    // The snake went straight up from the middle of the field: its head lies against the
    // top wall (row 3), its two other pieces below it.
    const std::vector<std::string> rows = ScreenRows(result);
    ASSERT_GT(rows.size(), 6u);
    ASSERT_GT(rows[6].size(), 41u);
    EXPECT_EQ(rows[3][41], '#');
    EXPECT_EQ(rows[4][41], '@') << Describe(result);
    EXPECT_EQ(rows[5][41], 'o');
    EXPECT_EQ(rows[6][41], 'o');
}

// The random generator is the machine's own, so a seed fixes where the food appears: with
// this one, twice in the snake's way as it runs straight to the right.
TEST(DemoPrograms, SnakeScoresEachPieceOfFood) {
    testhelpers::CTemporaryDirectory dir;
    const SCommandResult result = RunMachine({Stage(dir, "snake"), "--seed", "6266"});
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    EXPECT_EQ(Titles(result),
              (std::vector<std::string>{"Snake - score 0", "Snake - score 1", "Snake - score 2",
                                        "Snake - game over - score 2"}))
        << Describe(result);
}

TEST(DemoPrograms, TunePlaysSilentlyWithoutMidi) {
    testhelpers::CTemporaryDirectory dir;
    const SCommandResult result = RunMachine({Stage(dir, "tune"), "--text"});
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    EXPECT_TRUE(result.HasLine("stop: idle")) << Describe(result);
    EXPECT_EQ(Titles(result), (std::vector<std::string>{"Tune", "Tune - finished"}));
    EXPECT_TRUE(ScreenShows(result, "MIDI is off: the tune plays silently.")) << Describe(result);
    EXPECT_TRUE(ScreenShows(result, "MIDI messages sent: 0")) << Describe(result);
    EXPECT_TRUE(ScreenShows(result, "E4  E4  F4  G4  G4  F4  E4  D4  C4")) << Describe(result);
}

TEST(DemoPrograms, TunePlaysThroughMidi) {
    testhelpers::CTemporaryDirectory dir;
    const SCommandResult result = RunMachine({Stage(dir, "tune"), "--midi", "--text"});
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    // The runner renders MIDI into memory, so only a missing SoundFont can take it away, and
    // the build installs one.
    EXPECT_EQ(result.err.find("Unable to create MIDI sound device"), std::string::npos)
        << result.err;
    EXPECT_TRUE(result.HasLine("stop: idle")) << Describe(result);
    EXPECT_TRUE(ScreenShows(result, "Playing through MIDI.")) << Describe(result);
    // Program change, 15 notes on and off, all notes off: each accepted by the device.
    EXPECT_TRUE(ScreenShows(result, "MIDI messages sent: 32")) << Describe(result);
}

TEST(DemoPrograms, TuneThroughMidiIsAudible) {
    testhelpers::CTemporaryDirectory dir;
    const std::string wav = dir.path + "/tune.wav";
    const SCommandResult result =
        RunMachine({Stage(dir, "tune"), "--midi", "--wav", wav, "--timeout", "2"});
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    std::vector<uint8_t> sound;
    std::string error;
    ASSERT_TRUE(ReadFileBytes(wav, sound, error)) << error;
    ASSERT_GT(sound.size(), 44u);
    size_t loud = 0;
    for (size_t i = 44; i + 1 < sound.size(); i += 2) {
        const int16_t sample = static_cast<int16_t>(sound[i] | sound[i + 1] << 8);
        if (sample > 1000 || sample < -1000)
            ++loud;
    }
    EXPECT_GT(loud, 1000u);
}

TEST(DemoPrograms, NotesKeepsANoteOnTheDataDiskAcrossARestart) {
    testhelpers::CTemporaryDirectory dir;
    const std::string data = NewDataDisk(dir.path);
    const SCommandResult first =
        RunMachine({Stage(dir, "notes"), data, "--keys", "Hello disk{Enter}", "--text"});
    ASSERT_EQ(first.exitCode, 0) << Describe(first);
    EXPECT_TRUE(ScreenShows(first, "Data disk: slot 1")) << Describe(first);
    EXPECT_TRUE(ScreenShows(first, "Saved. Reset the machine")) << Describe(first);

    std::vector<uint8_t> record;
    std::string error;
    ASSERT_TRUE(ReadDiskData(data, 0, 18, record, error)) << error;
    EXPECT_EQ(std::string(record.begin(), record.end()),
              std::string("\0\0\0\0NOTE\x0A\0\0\0Hello disk", 18));

    // A new machine, as after a Reset, reads it back.
    const SCommandResult second = RunMachine({Stage(dir, "notes"), data, "--text"});
    ASSERT_EQ(second.exitCode, 0) << Describe(second);
    EXPECT_TRUE(ScreenShows(second, "The disk holds this note: Hello disk")) << Describe(second);
}

TEST(DemoPrograms, NotesWithoutAWritableDataDisk) {
    testhelpers::CTemporaryDirectory dir;
    const std::string data = NewDataDisk(dir.path);
    const SCommandResult readOnly =
        RunMachine({Stage(dir, "notes"), data, "--read-only", "--keys", "x{Enter}", "--text"});
    ASSERT_EQ(readOnly.exitCode, 0) << Describe(readOnly);
    EXPECT_TRUE(ScreenShows(readOnly, "No writable data disk")) << Describe(readOnly);

    // The program's own disk is writable here but holds a boot image: it is never taken
    // for a data disk, and Enter leaves it as it was.
    const std::string program = Stage(dir, "notes");
    const SCommandResult alone = RunMachine({program, "--keys", "x{Enter}", "--text"});
    EXPECT_TRUE(ScreenShows(alone, "No writable data disk")) << Describe(alone);
    std::vector<uint8_t> before, after;
    std::string error;
    ASSERT_TRUE(ReadFileBytes(Disk("notes"), before, error));
    ASSERT_TRUE(ReadFileBytes(program, after, error));
    EXPECT_EQ(before, after);
}

// The settings files the build puts beside the programs boot the launcher.
TEST(DemoPrograms, DefaultSettingsBootTheLauncher) {
    std::string shipped;
    {
        std::ifstream file(BuildDir() + "/Tarquil2.ini");
        shipped.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    EXPECT_NE(shipped.find("0=" + Disk("launcher")), std::string::npos) << shipped;

    testhelpers::CTemporaryDirectory dir;
    std::filesystem::copy_file(BuildDir() + "/Tarquil1.ini", dir.path + "/Tarquil1.ini");
    const std::string data = NewDataDisk(dir.path);
    std::ofstream(dir.path + "/Tarquil2.ini")
        << "[Disks]\r\n0=" << Disk("launcher") << "\r\n1=" << data << "\r\n";
    const SCommandResult result =
        RunMachine({"--config-dir", dir.path, "--keys", "4Saved here{Enter}", "--text"});
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    EXPECT_EQ(Titles(result).front(), "Demo disk");
    EXPECT_TRUE(ScreenShows(result, "The disk holds this note: Saved here")) << Describe(result);

    // The menu as the default machine shows it.
    const SCommandResult menu = RunMachine({"--config-dir", dir.path, "--text"});
    // The shipped settings enable MIDI, which the runner renders into memory.
    EXPECT_TRUE(ScreenShows(menu, "Memory: 1048576 bytes    Disk slots: 4    MIDI: on"))
        << Describe(menu);
}

} // namespace
