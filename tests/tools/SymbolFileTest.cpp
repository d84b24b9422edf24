// The symbol file that the assembler writes beside its output and the debuggers read.
#include "tools/asm/SymbolFile.h"
#include "tools/asm/Assembler.h"

#include <gtest/gtest.h>

#include <map>

namespace {

TEST(SymbolFileTest, AssemblerSymbolsRoundTripThroughTheTextWithLinesOfEveryFile) {
    const std::map<std::string, std::string> files = {{"main.asm", "COUNT = 3\n"
                                                                   "start:  MOV.32  #COUNT, r0\n"
                                                                   "        .include \"lib.inc\"\n"
                                                                   "loop:   CALL    twice\n"
                                                                   ".again: JNZ.32  loop, r0\n"
                                                                   "text:   .byte   1, 2, 3\n"
                                                                   "        WAIT\n"},
                                                      {"lib.inc", "; a subroutine\n"
                                                                  "twice:  ADD.I32 r4, r4, r4\n"
                                                                  "        RET\n"}};
    SAssemblerOptions options;
    options.reader = [&files](const std::string& path, std::string& text) {
        const auto it = files.find(path);
        if (it == files.end())
            return false;
        text = it->second;
        return true;
    };
    CAssembler assembler(options);
    ASSERT_TRUE(assembler.AssembleFile("main.asm")) << assembler.GetDiagnostics().Format();
    const CSymbolFile symbols = assembler.GetSymbolFile();

    // Labels with their addresses, local ones under their full names, constants apart.
    EXPECT_EQ(symbols.Find("start"), 0);
    EXPECT_EQ(symbols.Find("twice"), 10);
    EXPECT_EQ(symbols.Find("loop"), 10 + 14 + 2);
    EXPECT_EQ(symbols.Find("loop.again"), *symbols.Find("loop") + 6);
    EXPECT_EQ(symbols.Find("COUNT"), 3);
    ASSERT_NE(symbols.LabelAt(10), nullptr);
    EXPECT_EQ(symbols.LabelAt(10)->name, "twice");
    EXPECT_EQ(symbols.LabelAtOrBelow(11)->name, "twice");

    // One line per instruction, with its own file; data has none.
    EXPECT_EQ(symbols.SourceOf(0), "main.asm:2");
    EXPECT_EQ(symbols.SourceOf(10), "lib.inc:2");
    EXPECT_EQ(symbols.SourceOf(static_cast<uint32_t>(*symbols.Find("loop"))), "main.asm:4");
    EXPECT_EQ(symbols.SourceOf(static_cast<uint32_t>(*symbols.Find("text"))), "");
    EXPECT_EQ(symbols.GetLines().size(), 6u);
    EXPECT_EQ(symbols.AddressOfLine("lib.inc", 3), 24u);

    // The text reads back to the same table, and moves as a whole with a load offset.
    CSymbolFile read;
    std::string error;
    ASSERT_TRUE(read.Read(symbols.Write(), error)) << error;
    EXPECT_EQ(read.Write(), symbols.Write());
    read.Relocate(0x1000);
    EXPECT_EQ(read.SourceOf(0x1000 + 10), "lib.inc:2");
    EXPECT_EQ(read.Find("twice"), 0x1000 + 10);
    EXPECT_EQ(read.Find("COUNT"), 3);

    // The listing ends with the table.
    const std::string listing = assembler.GetListing();
    EXPECT_NE(listing.find("\nSymbols\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("0000000A  twice\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("3       = COUNT\n"), std::string::npos) << listing;

    // What is not a symbol file says where it goes wrong.
    EXPECT_FALSE(read.Read("hello\n", error));
    EXPECT_FALSE(read.Read("tarquil-symbols 1\nline 0x10 7 1\n", error));
    EXPECT_EQ(error, "line 2: a line line is \"line ADDRESS FILE-INDEX LINE\"");
}

} // namespace
