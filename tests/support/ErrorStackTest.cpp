#include "support/ErrorStack.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

using namespace qm;

namespace {

// Captures error boxes instead of writing them to standard error.
class ErrorStackTest : public testing::Test {
protected:
    void SetUp() override {
        ClearErrors();
        SetErrorBoxHandler([this](const std::string& text) { boxes.push_back(text); });
    }
    void TearDown() override {
        ClearErrors();
        SetErrorBoxHandler(nullptr);
    }
    std::vector<std::string> boxes;
};

} // namespace

TEST_F(ErrorStackTest, TagsAndOrder) {
    PushError("a", ".\\main", 164);
    PushError("b");
    PushError("c", ".\\main", 0); // a tag without a line is not shown
    ShowErrors();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "c\nb\n[.\\main,164] a\n");
    EXPECT_EQ(ErrorCount(), 0u);
}

TEST_F(ErrorStackTest, SetErrorClearsOlderMessages) {
    PushError("old");
    SetError("new", ".\\memory", 101);
    std::string text;
    ASSERT_TRUE(PopError(text));
    EXPECT_EQ(text, "[.\\memory,101] new");
    EXPECT_FALSE(PopError(text));
}

TEST_F(ErrorStackTest, SystemErrorsCarryTheErrorNumber) {
    PushError("old");
    SetSystemErrorCode(ENOENT, "", ".\\main", 7);
    EXPECT_EQ(ErrorCount(), 1u);
    std::string text;
    ASSERT_TRUE(PopError(text));
    EXPECT_EQ(text, std::string("[.\\main,7] (errno,2) ") + std::strerror(ENOENT));

    errno = EACCES;
    SetSystemError("Cannot open", ".\\main", 8);
    ASSERT_EQ(ErrorCount(), 2u);
    ASSERT_TRUE(PopError(text));
    EXPECT_EQ(text, "[.\\main,8] Cannot open");
    ASSERT_TRUE(PopError(text));
    EXPECT_EQ(text, std::string("[.\\main,8] (errno,13) ") + std::strerror(EACCES));
}
