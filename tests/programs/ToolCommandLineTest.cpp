// The toolchain's command lines: tarquil-asm, tarquil-dis and tarquil-disk as a user runs
// them.
#include "ProgramTestHelpers.h"
#include "common/FileTestHelpers.h"
#include "tools/disk/DiskImageFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace programtests;

namespace {

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(ReadFileBytes(path, bytes, error)) << error;
    return bytes;
}

TEST(ToolCommandLine, EveryToolAnswersHelp) {
    for (const char* tool : {"tarquil-asm", "tarquil-dis", "tarquil-disk"}) {
        const SCommandResult result = RunProgram(Tool(tool), {"--help"});
        EXPECT_EQ(result.exitCode, 0) << tool;
        EXPECT_NE(result.out.find("Usage"), std::string::npos) << tool << result.out;
    }
}

TEST(ToolCommandLine, AssemblerWritesDiskRawAndListing) {
    testhelpers::CTemporaryDirectory dir;
    const std::string source = dir.path + "/p.asm";
    WriteText(source, "start: NOP\n       JMP start\n");
    const SCommandResult disk =
        RunProgram(Tool("tarquil-asm"), {source, "-o", dir.path + "/p.disk"});
    ASSERT_EQ(disk.exitCode, 0) << disk.err;
    const SCommandResult raw =
        RunProgram(Tool("tarquil-asm"),
                   {source, "-o", dir.path + "/p.bin", "--raw", "-l", dir.path + "/p.lst"});
    ASSERT_EQ(raw.exitCode, 0) << raw.err;

    const std::vector<uint8_t> program = {0x00, 0xFF, 0x20, 0x52, 0, 0, 0, 0};
    EXPECT_EQ(FileBytes(dir.path + "/p.bin"), program);
    std::vector<uint8_t> boot;
    std::string error;
    ASSERT_TRUE(ReadBootImage(dir.path + "/p.disk", boot, error)) << error;
    EXPECT_EQ(boot, program);

    std::ifstream listing(dir.path + "/p.lst");
    std::string first;
    std::getline(listing, first);
    EXPECT_EQ(first, "00000000  00 FF                        start: NOP");

    // Without -o the disk goes next to the source.
    ASSERT_EQ(RunProgram(Tool("tarquil-asm"), {source}).exitCode, 0);
    EXPECT_TRUE(std::filesystem::exists(dir.path + "/p.disk"));
}

TEST(ToolCommandLine, AssemblerErrorsAreLocatedAndNothingIsWritten) {
    testhelpers::CTemporaryDirectory dir;
    const std::string source = dir.path + "/bad.asm";
    WriteText(source, "  NOP\n  MOV.8 #256, r0\n  JMP nowhere\n");
    const std::string output = dir.path + "/bad.disk";
    const SCommandResult result = RunProgram(Tool("tarquil-asm"), {source, "-o", output});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find(source + ":2:9: error: value 256 does not fit in 1 byte"),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find(source + ":3:7: error: undefined symbol \"nowhere\""),
              std::string::npos)
        << result.err;
    EXPECT_FALSE(std::filesystem::exists(output));

    const SCommandResult missing = RunProgram(Tool("tarquil-asm"), {dir.path + "/none.asm"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("cannot read source file"), std::string::npos);
}

// Every demo disk, disassembled and assembled again, gives back its boot image.
TEST(ToolCommandLine, DemoDisksSurviveTheRoundTrip) {
    testhelpers::CTemporaryDirectory dir;
    for (const char* name : {"launcher", "plasma", "snake", "tune", "notes"}) {
        const std::string disk = BuildDir() + "/" + name + ".disk";
        const SCommandResult source = RunProgram(Tool("tarquil-dis"), {disk});
        ASSERT_EQ(source.exitCode, 0) << name << source.err;
        const std::string sourcePath = dir.path + "/" + name + ".asm";
        WriteText(sourcePath, source.out);
        const std::string binary = dir.path + "/" + name + ".bin";
        const SCommandResult assembled =
            RunProgram(Tool("tarquil-asm"), {sourcePath, "--raw", "-o", binary});
        ASSERT_EQ(assembled.exitCode, 0) << name << assembled.err;
        std::vector<uint8_t> boot;
        std::string error;
        ASSERT_TRUE(ReadBootImage(disk, boot, error)) << error;
        EXPECT_EQ(FileBytes(binary), boot) << name;
    }
}

TEST(ToolCommandLine, DisassemblerNeedsADiskOrRaw) {
    testhelpers::CTemporaryDirectory dir;
    WriteText(dir.path + "/x.bin", std::string("\x00\xFF", 2));
    const SCommandResult notDisk = RunProgram(Tool("tarquil-dis"), {dir.path + "/x.bin"});
    EXPECT_EQ(notDisk.exitCode, 1);
    EXPECT_NE(notDisk.err.find("--raw"), std::string::npos);
    const SCommandResult raw = RunProgram(Tool("tarquil-dis"), {"--raw", dir.path + "/x.bin"});
    EXPECT_EQ(raw.exitCode, 0);
    EXPECT_NE(raw.out.find("NOP"), std::string::npos) << raw.out;
}

TEST(ToolCommandLine, DiskToolCreatesAndDescribes) {
    testhelpers::CTemporaryDirectory dir;
    const std::string disk = dir.path + "/data.disk";
    const SCommandResult created = RunProgram(Tool("tarquil-disk"), {"new", disk, "64k"});
    ASSERT_EQ(created.exitCode, 0) << created.err;
    EXPECT_EQ(std::filesystem::file_size(disk), 65536u + 16);

    const SCommandResult info = RunProgram(Tool("tarquil-disk"), {"info", disk});
    EXPECT_EQ(info.exitCode, 0);
    EXPECT_TRUE(info.HasLine("header: Tarquil Disk 10")) << info.out;
    EXPECT_TRUE(info.HasLine("data size: 65536 bytes")) << info.out;
    EXPECT_TRUE(info.HasLine("boot length: 0 (not bootable)")) << info.out;

    // An existing file stays unless --force says otherwise.
    EXPECT_EQ(RunProgram(Tool("tarquil-disk"), {"new", disk, "1k"}).exitCode, 1);
    EXPECT_EQ(std::filesystem::file_size(disk), 65536u + 16);
    EXPECT_EQ(RunProgram(Tool("tarquil-disk"), {"new", disk, "1k", "--force"}).exitCode, 0);
    EXPECT_EQ(std::filesystem::file_size(disk), 1024u + 16);

    EXPECT_NE(RunProgram(Tool("tarquil-disk"), {"new", disk + "2", "lots"}).exitCode, 0);

    const SCommandResult boot =
        RunProgram(Tool("tarquil-disk"), {"info", BuildDir() + "/snake.disk"});
    EXPECT_EQ(boot.exitCode, 0);
    EXPECT_NE(boot.out.find("(bootable)"), std::string::npos) << boot.out;

    const SCommandResult dump = RunProgram(Tool("tarquil-disk"), {"read", disk, "0", "4"});
    EXPECT_EQ(dump.exitCode, 0);
    EXPECT_NE(dump.out.find("00000000  00 00 00 00"), std::string::npos) << dump.out;
}

} // namespace
