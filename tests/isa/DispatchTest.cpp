#include "isa/IsaRig.h"

namespace {

TEST(Dispatch, TableFollowsTheOpcodeMap) {
    const DispatchEntries& table = GetDispatchTable().entries;
    const auto& map = GetOpcodeMap();
    uint32_t invalid = 0;
    for (size_t i = 0; i < kDispatchEntries; ++i) {
        const bool isInvalid = table[i].handler == &CKernel::InvalidOpcode;
        EXPECT_EQ(isInvalid, !map[i].IsValid()) << i;
        EXPECT_NE(table[i].handler, nullptr) << i;
        if (!isInvalid) {
            EXPECT_EQ(table[i].parameter, map[i].parameter) << map[i].mnemonic;
        }
        invalid += isInvalid ? 1 : 0;
    }
    EXPECT_EQ(invalid, 390u);
    // The second conversion entries share handler and parameter with the first ones.
    for (uint32_t code = 35; code <= 50; ++code) {
        EXPECT_EQ(table[code].handler, table[code - 16].handler) << code;
        EXPECT_EQ(table[code].parameter, table[code - 16].parameter) << code;
    }
    // One handler per type of a family: ADD.I32 and SUB.I32 share it, ADD.I64 does not.
    EXPECT_EQ(table[256 + 3].handler, table[256 + 13].handler);
    EXPECT_NE(table[256 + 3].handler, table[256 + 4].handler);
}

TEST(Dispatch, FreeCodesStopWithInvalidOpcode) {
    const std::pair<uint32_t, uint32_t> codes[] = {{0, 0},   {0, 112}, {0, 199}, {0, 203},
                                                   {0, 254}, {1, 0},   {1, 186}, {1, 255},
                                                   {2, 0},   {2, 7},   {2, 10},  {2, 83}};
    for (const auto& [category, code] : codes) {
        CProgramBuilder program;
        program.EmitCode(category, code);
        CIsaRig rig(program);
        EXPECT_TRUE(rig.Step());
        EXPECT_EQ(rig.StopMessage(), "Invalid opcode") << category << " " << code;
        EXPECT_EQ(rig.IP(), 2u);
    }
}

// A handler given a parameter outside its range (only a damaged table can do that) stops
// the machine with its family's numbered internal error before touching any operand.
TEST(Dispatch, OutOfRangeParametersGiveNumberedInternalErrors) {
    struct {
        uint32_t category, code, parameter;
        const char* message;
    } cases[] = {
        {0, 3, 8, "Internal error [1]"},     {0, 18, 99, "Internal error [2]"},
        {0, 19, 8, "Internal error [3]"},    {0, 43, 8, "Internal error [4]"},
        {0, 82, 9, "Internal error [100]"},  {0, 96, 9, "Internal error [101]"},
        {0, 108, 9, "Internal error [102]"}, {1, 1, 7, "Internal error [200]"},
        {1, 7, 7, "Internal error [206]"},   {1, 70, 7, "Internal error [209]"},
        {1, 71, 3, "Internal error [300]"},  {1, 75, 2, "Internal error [304]"},
        {1, 88, 2, "Internal error [307]"},  {1, 96, 3, "Internal error [309]"},
        {1, 97, 3, "Internal error [400]"},  {1, 108, 3, "Internal error [403]"},
        {1, 113, 4, "Internal error [500]"}, {1, 128, 4, "Internal error [503]"},
        {1, 132, 2, "Internal error [600]"}, {1, 139, 2, "Internal error [603]"},
        {1, 140, 4, "Internal error [700]"}, {1, 179, 4, "Internal error [709]"},
        {1, 180, 2, "Internal error [800]"}, {1, 185, 2, "Internal error [802]"},
        {2, 1, 2, "Internal error [800]"},   {2, 4, 2, "Internal error [803]"},
        {2, 15, 2, "Internal error [804]"},  {2, 16, 2, "Internal error [805]"},
        {2, 35, 21, "Internal error [800]"}, {2, 76, 21, "Internal error [801]"},
        {2, 77, 3, "Internal error [900]"},  {2, 82, 3, "Internal error [901]"},
    };
    for (const auto& c : cases) {
        DispatchEntries entries = GetDispatchTable().entries;
        entries[c.category * 256 + c.code].parameter = c.parameter;
        CProgramBuilder program;
        program.Head(EncodeHead(c.category, 2, 2, 2), static_cast<uint8_t>(c.code));
        program.Value(kData).Value(kData).Value(kData);
        CIsaRig rig(program, "64k", MakeDispatchTable(entries));
        EXPECT_TRUE(rig.Step());
        EXPECT_EQ(rig.StopMessage(), c.message) << c.category << " " << c.code;
        EXPECT_EQ(rig.IP(), 2u);
    }
}

// Every listed code, with every operand in mode 0, either completes or stops with one of
// the machine's messages: no code can crash the host or run on silently with a bad operand.
TEST(Dispatch, EveryCodeSurvivesMissingOperands) {
    const auto& map = GetOpcodeMap();
    for (uint32_t i = 0; i < kOpcodeEntries; ++i) {
        if (!map[i].IsValid())
            continue;
        CProgramBuilder program;
        program.EmitCode(i / 256, i % 256);
        CIsaRig rig(program);
        rig.SetSP(0x2000);
        const bool ended = rig.Step();
        const bool usesOperands = map[i].operandCount > 0;
        if (usesOperands) {
            EXPECT_TRUE(ended) << map[i].mnemonic;
            EXPECT_EQ(rig.StopMessage(), "Memory error") << map[i].mnemonic;
        } else {
            EXPECT_EQ(rig.StopMessage(), "") << map[i].mnemonic;
        }
    }
}

} // namespace
