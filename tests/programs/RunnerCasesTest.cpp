// The runner's contract, end to end: images built here, run by build/tarquil-run, and its
// standard output, standard error and exit code compared.
#include "RunnerProcess.h"

#include "common/DiskImages.h"
#include "common/FileTestHelpers.h"
#include "common/ProgramBuilder.h"

#include <gtest/gtest.h>

#include <cstring>

using testhelpers::BootDataArea;
using testhelpers::DiskImageBytes;
using testhelpers::ReadBytes;
using testhelpers::WriteBytes;

namespace {

constexpr uint32_t kRegs = 0x7FFFFC00;

// Program pieces used by several cases.
void SetByte(CProgramBuilder& p, uint32_t address, uint8_t value) {
    p.Emit("MOV.8", {Imm<uint8_t>(value), Dir(address)});
}
void SetDword(CProgramBuilder& p, uint32_t address, uint32_t value) {
    p.Emit("MOV.32", {Imm<uint32_t>(value), Dir(address)});
}
void Sys(CProgramBuilder& p, uint8_t group, uint8_t function) {
    SetByte(p, kRegs, group);
    SetByte(p, kRegs + 1, function);
    p.Emit("SYS");
}
// Sets the title to `length` bytes at `address`.
void Title(CProgramBuilder& p, uint32_t address, uint8_t length) {
    SetByte(p, kRegs + 2, length);
    SetDword(p, kRegs + 4, address);
    Sys(p, 1, 6);
}
// Zero bytes up to `address`, then the data.
void DataAt(CProgramBuilder& p, uint32_t address, const std::string& data) {
    while (p.Size() < address)
        p.Raw({0});
    for (char c : data)
        p.Raw({static_cast<uint8_t>(c)});
}
// WAIT and GETEVENT for ever: takes whatever arrives.
void IdleLoop(CProgramBuilder& p) {
    const uint32_t loop = p.Size();
    p.Emit("WAIT");
    p.Emit("GETEVENT");
    p.Emit("JMP", {Dir(loop)});
}

class RunnerCasesTest : public testing::Test {
protected:
    std::string Image(const std::string& name, const CProgramBuilder& program) {
        return ImageOfArea(name, BootDataArea(program.Bytes()));
    }
    std::string ImageOfArea(const std::string& name, const std::string& dataArea) {
        const std::string path = directory.path + "/" + name;
        EXPECT_TRUE(WriteBytes(path, DiskImageBytes(dataArea)));
        return path;
    }

    testhelpers::CTemporaryDirectory directory;
};

} // namespace

TEST_F(RunnerCasesTest, TitleThenIdle) {
    CProgramBuilder p;
    Title(p, 0x100, 5);
    IdleLoop(p);
    DataAt(p, 0x100, "Hello, world");
    const SRunnerOutput run = RunRunner({Image("title.disk", p)});
    EXPECT_EQ(run.out, "title: Hello\nstop: idle\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitCode, 0);
}

TEST_F(RunnerCasesTest, TitlesShowWhatAWindowTitleWould) {
    // A Windows-1252 e-acute and euro sign, and a zero byte that ends the title.
    CProgramBuilder p;
    Title(p, 0x100, 4);
    IdleLoop(p);
    DataAt(p, 0x100,
           std::string("\xE9\x80"
                       "a\0b",
                       5));
    const SRunnerOutput run = RunRunner({Image("title.disk", p)});
    EXPECT_EQ(run.out, "title: \xC3\xA9\xE2\x82\xAC"
                       "a\nstop: idle\n");
}

TEST_F(RunnerCasesTest, MachineStops) {
    struct {
        const char* what;
        std::vector<std::string> arguments; // "IMAGE" stands for the image
        std::string out;
    } cases[] = {
        {"no image at all", {}, "title: No disk to boot\nstop: No disk to boot\n"},
        {"invalid opcode",
         {"IMAGE"},
         "title: Invalid opcode\nfault: 0x00000002 .byte   0x00\nstop: Invalid opcode\n"},
        {"boot slot beyond the images",
         {"IMAGE", "--", "-boot", "1"},
         "title: No disk to boot\nstop: No disk to boot\n"},
        {"image larger than memory",
         {"--memory", "16", "IMAGE"},
         "title: Not enought memory to boot from disk 0\n"
         "stop: Not enought memory to boot from disk 0\n"},
        {"memory error at the head of the second instruction",
         {"--memory", "1k", "MEMIMAGE"},
         "title: Memory error\nfault: 0x00000000 MOV.8       #0x1, [0x10000]\nstop: Memory "
         "error\n"},
        {"a text file given as the image",
         {"TEXT"},
         "title: No disk to boot\nstop: No disk to boot\n"},
    };
    CProgramBuilder p;
    p.Emit("NOP");
    for (int i = 0; i < 10; ++i)
        p.Raw({0, 0}); // category 0 code 0: invalid
    const std::string image = Image("stop.disk", p);
    CProgramBuilder outside;
    outside.Emit("MOV.8", {Imm<uint8_t>(1), Dir(0x10000)});
    const std::string memoryImage = Image("outside.disk", outside);
    const std::string text = directory.path + "/notes.txt";
    ASSERT_TRUE(WriteBytes(text, "These are notes, not a disk image.\n"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> arguments = c.arguments;
        for (std::string& argument : arguments) {
            if (argument == "IMAGE")
                argument = image;
            else if (argument == "MEMIMAGE")
                argument = memoryImage;
            else if (argument == "TEXT")
                argument = text;
        }
        const SRunnerOutput run = RunRunner(arguments);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.exitCode, 3);
    }
}

TEST_F(RunnerCasesTest, InstructionLimitAndStatistics) {
    CProgramBuilder p;
    p.Emit("NOP");
    p.Emit("JMP", {Dir(0)});
    const std::string image = Image("busy.disk", p);
    SRunnerOutput run = RunRunner({"--steps", "100", "--stats", image});
    EXPECT_EQ(run.out.substr(0, run.out.find("seconds=")), "stop: steps\nstats: instructions=128 ");
    EXPECT_NE(run.out.find(" mips="), std::string::npos);
    EXPECT_EQ(run.exitCode, 0);

    run = RunRunner({"--timeout", "0.2", image});
    EXPECT_EQ(run.out, "stop: timeout\n");
    EXPECT_EQ(run.exitCode, 0);
}

TEST_F(RunnerCasesTest, RegistersAndMemoryDumps) {
    CProgramBuilder p;
    SetDword(p, kRegs + 4, 0x11223344);
    SetDword(p, 0x300, 0xDDCCBBAA);
    p.Emit("WAIT");
    const uint32_t ip = p.Size();
    const SRunnerOutput run = RunRunner(
        {"--regs", "--dump", "0x300:4", "--dump=768:0", Image("regs.disk", p), "--dump", "0:2"});
    std::string registers = "00000000"
                            "44332211" +
                            std::string(48, '0') + "00000000" + "00000000";
    char ipText[9];
    std::snprintf(ipText, sizeof ipText, "%02x%02x%02x%02x", ip & 0xFF, (ip >> 8) & 0xFF,
                  (ip >> 16) & 0xFF, ip >> 24);
    registers += ipText;
    EXPECT_EQ(run.out, "stop: idle\nregs: " + registers + "\nmem 768: aabbccdd\nmem 768: \n" +
                           "mem 0: 1835\n");
}

TEST_F(RunnerCasesTest, DumpsOutsideMemoryAreReportedNotPrinted) {
    CProgramBuilder p;
    p.Emit("WAIT");
    const SRunnerOutput run =
        RunRunner({"--memory", "1k", "--dump", "1020:8", "--dump", "1020:4", Image("d.disk", p)});
    EXPECT_EQ(run.out, "stop: idle\nmem 1020: 00000000\n");
    EXPECT_NE(run.err.find("--dump 1020:8"), std::string::npos);
    EXPECT_EQ(run.exitCode, 0);
}

TEST_F(RunnerCasesTest, ScriptedKeysArriveWhileTheProgramWaits) {
    // Stores the code of every character event at the pointer kept at 0x400.
    CProgramBuilder p;
    SetDword(p, 0x400, 0x500);
    const uint32_t loop = p.Size();
    p.Emit("WAIT");
    p.Emit("GETEVENT");
    p.Emit("EQ.8", {Dir(kRegs + 1), Imm<uint8_t>(2), Dir(0x404)});
    p.Emit("JZ.8", {Dir(loop), Dir(0x404)});
    p.Emit("MOV.8", {Dir(kRegs + 4), Ind(0x400)});
    p.Emit("INC.U32", {Dir(0x400)});
    p.Emit("JMP", {Dir(loop)});
    const std::string image = Image("keys.disk", p);
    SRunnerOutput run =
        RunRunner({"--keys", "Hi{Enter}\n{Left}{Esc}\xC3\xA9", "--dump", "0x500:6", image});
    EXPECT_EQ(run.out, "stop: idle\nmem 1280: 48690d0d1be9\n");
    EXPECT_EQ(run.exitCode, 0);

    run = RunRunner({"--keys", "{Nope}", image});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("{Nope}"), std::string::npos);
    EXPECT_NE(run.err.find("{PageDown}"), std::string::npos);
}

TEST_F(RunnerCasesTest, ClicksAndMovesArriveAsTheWindowPostsThem) {
    // Copies the first 16 bytes of the register block after every event to the pointer kept
    // at 0x400. The text screen's cells are 8 x 16 pixels of the 640 x 400 client area.
    CProgramBuilder p;
    SetDword(p, 0x400, 0x500);
    const uint32_t loop = p.Size();
    p.Emit("WAIT");
    p.Emit("GETEVENT");
    for (uint32_t offset = 0; offset < 16; offset += 4) {
        p.Emit("MOV.32", {Dir(kRegs + offset), Ind(0x400)});
        p.Emit("ADD.U32", {Dir(0x400), Imm<uint32_t>(4), Dir(0x400)});
    }
    p.Emit("JMP", {Dir(loop)});
    const SRunnerOutput run = RunRunner(
        {"--keys", "{Click 100 50}{move 17 33}", "--dump", "0x500:48", Image("mouse.disk", p)});
    EXPECT_EQ(run.out, "stop: idle\nmem 1280: "
                       // left button down with its flag, at cell 12, 3
                       "03020101"
                       "01000000"
                       "0c000000"
                       "03000000"
                       // left button up, no button held
                       "03020102"
                       "00000000"
                       "0c000000"
                       "03000000"
                       // a move to cell 2, 2; bytes 2 and 3 are not part of its record
                       "03010102"
                       "00000000"
                       "02000000"
                       "02000000\n");
    EXPECT_EQ(run.exitCode, 0);
}

TEST_F(RunnerCasesTest, KeyEveryFeedsAProgramThatPollsWithoutWaiting) {
    // Takes events without WAIT and stores each character at the pointer kept at 0x400.
    CProgramBuilder p;
    SetDword(p, 0x400, 0x500);
    const uint32_t loop = p.Size();
    p.Emit("GETEVENT");
    p.Emit("EQ.8", {Dir(kRegs), Imm<uint8_t>(2), Dir(0x404)});
    p.Emit("JZ.8", {Dir(loop), Dir(0x404)});
    p.Emit("EQ.8", {Dir(kRegs + 1), Imm<uint8_t>(2), Dir(0x404)});
    p.Emit("JZ.8", {Dir(loop), Dir(0x404)});
    p.Emit("MOV.8", {Dir(kRegs + 4), Ind(0x400)});
    p.Emit("INC.U32", {Dir(0x400)});
    p.Emit("JMP", {Dir(loop)});
    const std::string image = Image("poll.disk", p);
    // Without --key-every the program never waits, so the keys never arrive.
    SRunnerOutput run =
        RunRunner({"--keys", "ab{Home}c", "--steps", "20000", "--dump", "0x500:4", image});
    EXPECT_EQ(run.out, "stop: steps\nmem 1280: 00000000\n");
    run = RunRunner({"--keys", "ab{Home}c", "--key-every", "1000", "--steps", "20000", "--dump",
                     "0x500:4", image});
    EXPECT_EQ(run.out, "stop: steps\nmem 1280: 61626300\n");
    EXPECT_EQ(run.exitCode, 0);
    run = RunRunner({"--key-every", "x", image});
    EXPECT_EQ(run.exitCode, 2);
}

TEST_F(RunnerCasesTest, HostTimersTickOnTheRealClock) {
    // Starts timer 4 every 10 ms, counts three timer events, stops it, sets the title.
    CProgramBuilder p;
    SetDword(p, kRegs + 4, 4);
    SetDword(p, kRegs + 8, 10);
    Sys(p, 1, 7);
    const uint32_t loop = p.Size();
    p.Emit("WAIT");
    p.Emit("GETEVENT");
    p.Emit("EQ.8", {Dir(kRegs), Imm<uint8_t>(1), Dir(0x404)});
    p.Emit("JZ.8", {Dir(loop), Dir(0x404)});
    p.Emit("INC.U8", {Dir(0x408)});
    p.Emit("LT.U8", {Dir(0x408), Imm<uint8_t>(3), Dir(0x404)});
    p.Emit("JNZ.8", {Dir(loop), Dir(0x404)});
    SetDword(p, kRegs + 4, 4);
    Sys(p, 1, 8);
    Title(p, 0x300, 4);
    IdleLoop(p);
    DataAt(p, 0x300, "done");
    const SRunnerOutput run = RunRunner({"--dump", "0x408:1", Image("timer.disk", p)});
    EXPECT_EQ(run.out, "title: done\nstop: idle\nmem 1032: 03\n");
}

TEST_F(RunnerCasesTest, DiskServicesSeeTheImages) {
    // Slot count into 0x600; read the first 4 data bytes of slot 1 into 0x604; write 2
    // bytes at data position 4 of slot 1; the result bytes go to 0x608 and 0x609.
    CProgramBuilder p;
    Sys(p, 6, 2);
    p.Emit("MOV.32", {Dir(kRegs + 4), Dir(0x600)});
    SetDword(p, kRegs + 4, 1);
    SetDword(p, kRegs + 8, 4);
    SetDword(p, kRegs + 12, 0x604);
    Sys(p, 6, 8);
    p.Emit("MOV.8", {Dir(kRegs + 2), Dir(0x608)});
    SetDword(p, kRegs + 8, 2);
    SetDword(p, kRegs + 12, 0x700);
    Sys(p, 6, 7);
    p.Emit("MOV.8", {Dir(kRegs + 2), Dir(0x609)});
    IdleLoop(p);
    DataAt(p, 0x700, "ZZ");
    const std::string boot = Image("boot.disk", p);
    const std::string data = ImageOfArea("data.disk", "abcdefgh");

    SRunnerOutput run = RunRunner({"--dump", "0x600:10", boot, data});
    EXPECT_EQ(run.out, "stop: idle\nmem 1536: 08000000616263640101\n");
    EXPECT_EQ(ReadBytes(data), DiskImageBytes("abcdZZgh"));

    // Read-only slots refuse the write; the image stays as it was.
    run = RunRunner({"--read-only", "--dump", "0x600:10", boot, data});
    EXPECT_EQ(run.out, "stop: idle\nmem 1536: 08000000616263640100\n");
    EXPECT_EQ(ReadBytes(data), DiskImageBytes("abcdZZgh"));
}

TEST_F(RunnerCasesTest, MachineCommandLineChoosesSlotsAndTheBootDisk) {
    CProgramBuilder first;
    Title(first, 0x100, 5);
    IdleLoop(first);
    DataAt(first, 0x100, "first");
    CProgramBuilder second;
    Title(second, 0x100, 6);
    IdleLoop(second);
    DataAt(second, 0x100, "second");
    const std::string one = Image("one.disk", first);
    const std::string two = Image("with blank.disk", second);

    struct {
        const char* what;
        std::vector<std::string> arguments;
        std::string out;
    } cases[] = {
        {"images in order", {one, two}, "title: first\nstop: idle\n"},
        {"-boot 1", {one, two, "--", "-boot", "1"}, "title: second\nstop: idle\n"},
        {"-disk with a quoted name", {"--", "-disk", "3", two}, "title: second\nstop: idle\n"},
        {"-disk N EMPTY",
         {one, "--", "-DISK", "0", "EMPTY"},
         "title: first\nstop: idle\n"}, // the image goes in after the options
        {"ninth image makes a ninth slot",
         {one, one, one, one, one, one, one, one, two, "--read-only", "--", "-boot", "8"},
         "title: second\nstop: idle\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const SRunnerOutput run = RunRunner(c.arguments);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.exitCode, 0);
    }
}

TEST_F(RunnerCasesTest, ImagesThatCannotBeInsertedAreShownAsErrorBoxes) {
    CProgramBuilder p;
    IdleLoop(p);
    const std::string image = Image("ok.disk", p);
    const std::string missing = directory.path + "/missing.disk";
    SRunnerOutput run = RunRunner({missing});
    EXPECT_EQ(run.out, "title: No disk to boot\nstop: No disk to boot\n");
    EXPECT_EQ(run.err, "error: Tarquil - Error\n[.\\disks,320] Cannot insert disk \"" + missing +
                           "\" into slot 0\n[.\\disks,283] Cannot open file \"" + missing +
                           "\"\n[.\\disks,283] (errno,2) No such file or directory\n");
    EXPECT_EQ(run.exitCode, 3);

    // Two writable slots cannot share an image; read-only ones can.
    run = RunRunner({image, image});
    EXPECT_EQ(run.out, "stop: idle\n");
    EXPECT_NE(run.err.find("[.\\disks,320] Cannot insert disk \"" + image + "\" into slot 1"),
              std::string::npos);
    run = RunRunner({"--read-only", image, image});
    EXPECT_EQ(run.err, "");
}

TEST_F(RunnerCasesTest, MachinesThatCannotStartExitWithOne) {
    CProgramBuilder p;
    IdleLoop(p);
    const std::string image = Image("ok.disk", p);
    struct {
        std::vector<std::string> arguments;
        std::string err;
    } cases[] = {
        {{"--memory", "0", image},
         "error: Tarquil - Error\n[.\\main,270] Unable to start the machine\n"
         "[.\\memory,119] Cannot initialize memory\n"
         "[.\\memory,90] Invalid memory size in configuration Memory.Size (0)\n"},
        {{image, "--", "-boot"},
         "error: Tarquil - Error\n[.\\main,270] Unable to start the machine\n"
         "Syntax error in command line \"-boot\"\n"
         "[.\\kernel,3436] Invalid parameters in \"-boot\"\n"},
    };
    for (const auto& c : cases) {
        const SRunnerOutput run = RunRunner(c.arguments);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, c.err);
    }
}

TEST_F(RunnerCasesTest, UsageErrorsExitWithTwo) {
    std::vector<std::string> tooMany(65, "x.disk");
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus"},       {"--dump", "12"},         {"--dump", "1:0x"},
        {"--seed", "abc"}, {"--seed", "4294967296"}, {"--timeout", "-1"},
        {"--steps", "-5"}, {"--steps", "1e3"},       {"--keys", "{F13}"},
        tooMany,
    };
    for (const auto& arguments : cases) {
        SCOPED_TRACE(arguments[0]);
        const SRunnerOutput run = RunRunner(arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("tarquil-run: "), std::string::npos);
    }
    const SRunnerOutput help = RunRunner({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--keys"), std::string::npos);
}

TEST_F(RunnerCasesTest, SeedMakesRandomNumbersRepeat) {
    CProgramBuilder p;
    for (uint32_t i = 0; i < 4; ++i)
        p.Emit("RND.I32", {Imm<int32_t>(0), Imm<int32_t>(1000000), Dir(0x800 + 4 * i)});
    p.Emit("WAIT");
    const std::string image = Image("rnd.disk", p);
    const SRunnerOutput first = RunRunner({"--seed", "12345", "--dump", "0x800:16", image});
    const SRunnerOutput again = RunRunner({"--seed", "12345", "--dump", "0x800:16", image});
    const SRunnerOutput other = RunRunner({"--seed", "-7", "--dump", "0x800:16", image});
    EXPECT_EQ(first.exitCode, 0);
    EXPECT_EQ(first.out, again.out);
    EXPECT_NE(first.out, other.out);
}

TEST_F(RunnerCasesTest, TextScreen) {
    // "Ab" at the start of row 1 and a zero byte (shown as a blank) before "c" on row 2,
    // then a refresh; a cell written after the refresh is not shown.
    CProgramBuilder p;
    auto put = [&p](int32_t x, int32_t y, uint8_t c) {
        SetDword(p, kRegs + 8, static_cast<uint32_t>(x));
        SetDword(p, kRegs + 12, static_cast<uint32_t>(y));
        SetByte(p, kRegs + 2, c);
        Sys(p, 5, 5);
    };
    put(0, 1, 'A');
    put(1, 1, 'b');
    put(1, 2, 'c');
    put(3, 2, 0xE9);
    Sys(p, 5, 4);
    put(0, 0, 'X');
    IdleLoop(p);
    const SRunnerOutput run = RunRunner({"--text", Image("text.disk", p)});
    std::string expected = "stop: idle\nscreen: 1 80x25\n\nAb\n c \xC3\xA9\n";
    for (int row = 3; row < 25; ++row)
        expected += "\n";
    EXPECT_EQ(run.out, expected);
}

TEST_F(RunnerCasesTest, GraphicsPixelsAsPng) {
    // A 3 x 2 picture: the pixels at 0x900 in 0x00BBGGRR.
    CProgramBuilder p;
    SetByte(p, kRegs + 2, 2);
    SetDword(p, kRegs + 8, 3);
    SetDword(p, kRegs + 12, 2);
    Sys(p, 5, 2);
    SetDword(p, kRegs + 4, 0x900);
    Sys(p, 5, 7);
    IdleLoop(p);
    std::string pixels;
    for (uint32_t colour : {0x000000FFu, 0x0000FF00u, 0x00FF0000u, 0u, 0x00FFFFFFu, 0x00123456u})
        pixels.append(reinterpret_cast<const char*>(&colour), 4);
    DataAt(p, 0x900, pixels);
    const std::string png = directory.path + "/picture.png";
    SRunnerOutput run = RunRunner({"--png", png, Image("pixels.disk", p)});
    EXPECT_EQ(run.out, "stop: idle\n");
    EXPECT_EQ(run.err, "");
    const std::string file = ReadBytes(png);
    ASSERT_GT(file.size(), 24u);
    EXPECT_EQ(file.substr(0, 8), "\x89PNG\r\n\x1A\n");
    EXPECT_EQ(file.substr(12, 4), "IHDR");
    EXPECT_EQ(file.substr(16, 8), std::string("\0\0\0\3\0\0\0\2", 8));

    // A text screen has no picture: reported, and no file appears.
    CProgramBuilder text;
    IdleLoop(text);
    const std::string none = directory.path + "/none.png";
    run = RunRunner({"--png", none, Image("text.disk", text)});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.err.find("--png"), std::string::npos);
    EXPECT_EQ(ReadBytes(none), "");
}
