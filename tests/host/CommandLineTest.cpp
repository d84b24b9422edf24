#include "host/CommandLine.h"
#include "host/ThreadPriority.h"

#include "support/TextFunctions.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <thread>
#include <unistd.h>

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

TEST(ThreadPriority, CodesMapToNiceValuesInOrder) {
    EXPECT_EQ(NiceValueFor(EThreadPriority::Idle), 19);
    EXPECT_EQ(NiceValueFor(EThreadPriority::Normal), 0);
    EXPECT_EQ(NiceValueFor(EThreadPriority::TimeCritical), -20);
    for (int code = 1; code <= 6; ++code)
        EXPECT_LT(NiceValueFor(static_cast<EThreadPriority>(code)),
                  NiceValueFor(static_cast<EThreadPriority>(code - 1)));
}

TEST(ThreadPriority, AppliesToTheCallingThreadOnly) {
    const int before = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    int seen = 0;
    std::thread worker([&seen] {
        ApplyThreadPriority(EThreadPriority::Lowest);
        seen = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    });
    worker.join();
    EXPECT_EQ(seen, 10);
    EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())), before);
}
