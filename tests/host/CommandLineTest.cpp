#include "host/CommandLine.h"

#include "support/TextFunctions.h"

#include <gtest/gtest.h>


TEST(CommandLine, JoinedArgumentsComeBackWhole) {
    const std::vector<std::string> arguments = {"-disk", "0", "My Games/a b.disk", "", "-NoAsk"};
    const std::string text = JoinCommandLine(arguments);
    EXPECT_EQ(text, "-disk 0 \"My Games/a b.disk\" \"\" -NoAsk");
    std::vector<std::string> tokens;
    std::string token;
    size_t position = 0;
    while (qm::NextToken(text, token, position))
        tokens.push_back(token);
    EXPECT_EQ(tokens, arguments);
    EXPECT_EQ(JoinCommandLine({}), "");
}

TEST(CommandLine, NoAskOption) {
    struct {
        const char* line;
        bool noAsk;
    } rows[] = {{"-noask", true},   {"-NOASK", true},   {"-disk 1 x \"-NoAsk\"", true},
                {"-noasks", false}, {"-noas", false},   {"", false},
                {"noask", false},   {"\"-noask", true}, {"-boot 1\t-noask\r\n", true}};
    for (const auto& row : rows)
        EXPECT_EQ(HasNoAskOption(row.line), row.noAsk) << row.line;
}
