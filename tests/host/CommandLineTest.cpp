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

TEST(CommandLine, ProblemsTheScannersPassOverAreNamed) {
    struct {
        const char* line;
        int32_t slots;
        std::vector<std::string> problems;
    } rows[] = {
        {"-disk 2 x.disk -BOOT 1 -disksempty -NoAsk", 4, {}},
        {"-dsk 2 x.disk",
         4,
         {"\"-dsk\" is not understood (see --help)", "\"2\" is not understood",
          "\"x.disk\" is not understood"}},
        {"-disk 99999999999 x.disk",
         4,
         {"\"-disk 99999999999\" names no slot: the machine has slots 0 to 3"}},
        {"-disk 4 x.disk -disk -1 y.disk",
         4,
         {"\"-disk 4\" names no slot: the machine has slots 0 to 3",
          "\"-disk -1\" names no slot: the machine has slots 0 to 3"}},
        {"-boot 99", 1, {"\"-boot 99\" names no slot: the machine has slot 0 only"}},
        {"-boot -3", 1, {}},
        {"-boot 0", 0, {"\"-boot 0\" names no slot: the machine has no disk slots"}},
        {"-disk 7 x.disk -boot 9", -1, {}},
        // Cut short: the machine's start shows that in an error box.
        {"-disk 1", 4, {}},
        {"-boot", 4, {}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(FindCommandLineProblems(row.line, row.slots), row.problems) << row.line;
    for (const char* option : {"-disk N FILE", "-disksempty", "-boot N", "-noask", "--version"})
        EXPECT_NE(WindowProgramUsage().find(option), std::string::npos) << option;
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
