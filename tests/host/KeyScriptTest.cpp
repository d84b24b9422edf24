#include "host/KeyScript.h"

#include "common/ControlTable.h"
#include "common/TestMachine.h"
#include "host/HeadlessPlatform.h"

#include <gtest/gtest.h>

namespace {

SScriptedInput Key(uint32_t virtualKey, int character = -1) {
    return {virtualKey, character >= 0, static_cast<uint8_t>(character < 0 ? 0 : character)};
}

SScriptedInput Mouse(EScriptedInput kind, int32_t x, int32_t y) {
    SScriptedInput item;
    item.kind = kind;
    item.x = x;
    item.y = y;
    return item;
}

} // namespace

TEST(KeyScriptTest, CharactersAndNamedKeys) {
    struct {
        const char* what;
        std::string text;
        std::vector<SScriptedInput> keys;
    } cases[] = {
        {"letters and digits", "aZ7", {Key(0x41, 'a'), Key(0x5A, 'Z'), Key(0x37, '7')}},
        {"shifted digits and punctuation",
         "!)-_/?~'\"",
         {Key(0x31, '!'), Key(0x30, ')'), Key(0xBD, '-'), Key(0xBD, '_'), Key(0xBF, '/'),
          Key(0xBF, '?'), Key(0xC0, '~'), Key(0xDE, '\''), Key(0xDE, '"')}},
        {"keys with characters",
         "{Enter}{Esc}{Tab}{Back}{Space}",
         {Key(0x0D, 13), Key(0x1B, 27), Key(0x09, 9), Key(0x08, 8), Key(0x20, ' ')}},
        {"keys without characters",
         "{Left}{Right}{Up}{Down}{F1}{F12}",
         {Key(0x25), Key(0x27), Key(0x26), Key(0x28), Key(0x70), Key(0x7B)}},
        {"names in any case",
         "{enter}{f10}{PGDN}{pageup}",
         {Key(0x0D, 13), Key(0x79), Key(0x22), Key(0x21)}},
        {"editing keys and their longer spellings",
         "{Home}{End}{PgUp}{PgDn}{Ins}{Del}{Escape}{Backspace}{Insert}{Delete}{PageUp}{PageDown}",
         {Key(0x24), Key(0x23), Key(0x21), Key(0x22), Key(0x2D), Key(0x2E), Key(0x1B, 27),
          Key(0x08, 8), Key(0x2D), Key(0x2E), Key(0x21), Key(0x22)}},
        {"mouse items",
         "{Click 10 20}{move -3  7}x",
         {Mouse(EScriptedInput::Click, 10, 20), Mouse(EScriptedInput::Move, -3, 7),
          Key(0x58, 'x')}},
        {"line breaks are Enter",
         "a\nb\r\nc\r",
         {Key(0x41, 'a'), Key(0x0D, 13), Key(0x42, 'b'), Key(0x0D, 13), Key(0x43, 'c'),
          Key(0x0D, 13)}},
        {"tab character", "\t", {Key(0x09, 9)}},
        {"braces", "{{}{}}", {Key(0xDB, '{'), Key(0xDD, '}')}},
        {"a lone closing brace", "}", {Key(0xDD, '}')}},
        {"code page characters",
         "\xC3\xA9\xE2\x82\xAC\xC5\xA1",
         {Key(0xE7, 0xE9), Key(0xE7, 0x80), Key(0xE7, 0x9A)}},
        {"nothing", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<SScriptedInput> keys;
        std::string error;
        EXPECT_TRUE(ParseKeyScript(c.text, keys, error)) << error;
        EXPECT_EQ(keys, c.keys);
    }
}

TEST(KeyScriptTest, RefusesWhatNoKeyCanType) {
    for (const std::string text :
         {"{Foo}", "{Enter", "{F13}", "{F0}", "{F01}", "{}", "x{", "\xE6\x97\xA5", "\xFF", "\xC3",
          "{Click}", "{Click 1}", "{Click 1 2 3}", "{Move a 2}", "{Click 1 40000}",
          "{Click 1.5 2}"}) {
        SCOPED_TRACE(text);
        std::vector<SScriptedInput> keys;
        std::string error;
        EXPECT_FALSE(ParseKeyScript(text, keys, error));
        EXPECT_FALSE(error.empty());
    }
    // An unknown name is answered with the names there are.
    std::vector<SScriptedInput> keys;
    std::string error;
    ASSERT_FALSE(ParseKeyScript("{Return}", keys, error));
    for (const char* name : {"{Return}", "{Enter}", "{Esc}", "{PgDn}", "{Del}", "{F1}..{F12}",
                             "{PageDown}", "{Click X Y}", "{Move X Y}"})
        EXPECT_NE(error.find(name), std::string::npos) << name << " in " << error;
}

TEST(KeyScriptTest, OneKeyPressIsDownCharacterUp) {
    CHeadlessPlatform platform;
    CTestMachine m(testhelpers::ControlTable(), testhelpers::Op(testhelpers::kCodeWait));
    DeliverScriptedInput(Key(0x41, 'a'), m.machine, platform);
    DeliverScriptedInput(Key(0x25), m.machine, platform);
    struct {
        uint8_t group, kind, byte2;
        uint32_t value;
    } expected[] = {
        {2, 1, 1, 0x41}, {2, 2, 0, 'a'}, {2, 1, 2, 0x41}, {2, 1, 1, 0x25}, {2, 1, 2, 0x25}};
    ASSERT_EQ(m.kernel.GetEventCount(), std::size(expected));
    for (const auto& e : expected) {
        m.Registers()[2] = 0;
        ASSERT_TRUE(m.kernel.TakeEvent());
        EXPECT_EQ(m.Registers()[0], e.group);
        EXPECT_EQ(m.Registers()[1], e.kind);
        EXPECT_EQ(m.Registers()[2], e.byte2);
        EXPECT_EQ(m.Registers()[4], e.value);
    }
    // The key is up again, and each press flipped its toggle state.
    bool down = true, toggled = false;
    platform.GetKeyState(0x41, down, toggled);
    EXPECT_FALSE(down);
    EXPECT_TRUE(toggled);
    DeliverScriptedInput(Key(0x41, 'a'), m.machine, platform);
    platform.GetKeyState(0x41, down, toggled);
    EXPECT_FALSE(toggled);
    EXPECT_FALSE(platform.IsKeyDownNow(0x41));
}
