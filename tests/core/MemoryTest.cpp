#include "core/Memory.h"
#include "support/ErrorStack.h"

#include <gtest/gtest.h>

namespace {

class MemoryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(memory.Configure("1k")); }
    CMemory memory;
};

TEST(ParseMemorySizeTest, SuffixesCaseBlanksAndOverflow) {
    struct {
        const char* text;
        int32_t expected;
    } cases[] = {
        {"64m", 67108864},
        {"65536kb", 67108864},
        {"1.5m", 1572864},
        {" 16 MB ", 16777216},
        {"16\tm b", 16777216},
        {"4g", 0},
        {"", 0},
        {"abc", 0},
        {"b", 0},
        {"1000", 1000},
        {"2147482624", 2147482624},
        {"3g", -1073741824},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseMemorySize(c.text), c.expected) << c.text;
}

TEST(MemoryConfigureTest, RefusesBadSizesWithTheirMessages) {
    struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"0", "[.\\memory,90] Invalid memory size in configuration Memory.Size (0)"},
        {"4g", "[.\\memory,90] Invalid memory size in configuration Memory.Size (4g)"},
        {"2147482624",
         "[.\\memory,94] Too large memory size in configuration Memory.Size (2147482624)"},
        {"2147482625",
         "[.\\memory,90] Invalid memory size in configuration Memory.Size (2147482625)"},
    };
    for (const auto& c : cases) {
        CMemory memory;
        EXPECT_FALSE(memory.Configure(c.text));
        std::string top, below;
        ASSERT_TRUE(qm::PopError(top));
        ASSERT_TRUE(qm::PopError(below));
        EXPECT_EQ(top, "[.\\memory,119] Cannot initialize memory");
        EXPECT_EQ(below, c.message);
        EXPECT_EQ(qm::ErrorCount(), 0u);
    }
}

TEST_F(MemoryTest, RelativeAbsoluteAndNegativeAddresses) {
    memory.GetData()[0] = 0xAA;
    memory.GetData()[16] = 0x16;
    memory.GetData()[0x100] = 0xBB;
    memory.SetBASE(0x100);
    uint8_t v = 0;
    ASSERT_TRUE(memory.ReadByte(0, v, false));
    EXPECT_EQ(v, 0xBB);
    ASSERT_TRUE(memory.ReadByte(0, v, true));
    EXPECT_EQ(v, 0xAA);
    memory.SetBASE(32);
    ASSERT_TRUE(memory.ReadByte(0xFFFFFFF0u, v, false));
    EXPECT_EQ(v, 0x16);
    EXPECT_FALSE(memory.ReadByte(0xFFFFFFF0u, v, true));
}

TEST_F(MemoryTest, RegisterBlockIgnoresBaseAndEndsAt43) {
    memory.SetBASE(0x1234);
    uint32_t base = 0;
    ASSERT_TRUE(memory.ReadDword(0x7FFFFC24, base, false));
    EXPECT_EQ(base, 0x1234u);
    uint8_t v;
    EXPECT_TRUE(memory.ReadByte(0x7FFFFC2B, v, false));
    EXPECT_FALSE(memory.ReadByte(0x7FFFFC2C, v, false));
    EXPECT_FALSE(memory.ReadByte(0x7FFFFFFF, v, false));
    ASSERT_TRUE(memory.WriteDword(0x7FFFFC28, 0x55));
    EXPECT_EQ(memory.GetIP(), 0x55u);
}

TEST_F(MemoryTest, SingleValuesCheckTheFirstByteOnlyBlocksTheWholeRange) {
    uint32_t v;
    EXPECT_TRUE(memory.ReadDword(1023, v, false)); // spills into the cleared spare bytes
    EXPECT_EQ(v, 0u);
    uint8_t buffer[5];
    EXPECT_FALSE(memory.ReadBlock(1023, buffer, 4, false));
    EXPECT_TRUE(memory.ReadBlock(1020, buffer, 4, false));
    EXPECT_FALSE(memory.ReadBlock(0, buffer, 0, false));
    EXPECT_FALSE(memory.ReadBlock(0, buffer, -1, false));
    EXPECT_FALSE(memory.ReadByte(1024, buffer[0], false));
    EXPECT_FALSE(memory.ReadBlock(0x7FFFFC28, buffer, 5, false));
    EXPECT_TRUE(memory.ReadBlock(0x7FFFFC28, buffer, 4, false));
}

TEST_F(MemoryTest, BlockWriteClearAndPointer) {
    const uint8_t bytes[] = {1, 2, 3, 4, 5};
    memory.SetBASE(10);
    ASSERT_TRUE(memory.WriteBlock(0, bytes, 5));
    EXPECT_EQ(memory.GetData()[14], 5);
    ASSERT_TRUE(memory.Clear(1, 3));
    EXPECT_EQ(memory.GetData()[10], 1);
    EXPECT_EQ(memory.GetData()[13], 0);
    EXPECT_EQ(memory.GetData()[14], 5);
    EXPECT_EQ(memory.GetPointer(0, 5, false), memory.GetData() + 10);
    EXPECT_EQ(memory.GetPointer(0, 5, true), memory.GetData());
    EXPECT_EQ(memory.GetPointer(1014, 1, false), nullptr);
    // A huge count fails without touching anything.
    EXPECT_FALSE(memory.Clear(0, 0x7FFFFFFF));
}

} // namespace
