// Key codes, composed text, mouse flags, key state and host timers of the window program.
#include "WindowFixture.h"

#include "host/qt/HostTimers.h"
#include "host/qt/KeyMap.h"
#include "host/qt/QtPlatform.h"
#include "host/qt/ScreenWidget.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>

#include <vector>

using qttest::CWindowFixture;
using SEvent = CWindowFixture::SEvent;

Q_DECLARE_METATYPE(EKeyboardLayout)

namespace {

// Sends key events as an X server delivers them: with the key's keycode as native scan code.
struct SKeySender {
    QWidget& target;
    void operator()(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers, uint32_t keycode,
                    const QString& text = {}) {
        QKeyEvent event(type, key, modifiers, keycode, 0, 0, text);
        QApplication::sendEvent(&target, &event);
    }
    void Commit(const QString& text) {
        QInputMethodEvent event;
        event.setCommitString(text);
        QApplication::sendEvent(&target, &event);
    }
};

constexpr auto kPress = QEvent::KeyPress;
constexpr auto kRelease = QEvent::KeyRelease;

} // namespace

class QtInputTest : public QObject {
    Q_OBJECT
private slots:
    void qtKeysBecomeVirtualKeys_data();
    void qtKeysBecomeVirtualKeys();
    void mainBlockKeysGetTheirLayoutsCodes_data();
    void mainBlockKeysGetTheirLayoutsCodes();
    void layoutsComeFromTheirXkbNamesAndGroups();
    void keysKeepTheCodeOfTheirPressUntilTheirRelease();
    void composedTextArrivesInTheCodePage();
    void mouseFlagsFollowButtonsAndModifiers();
    void keyStateTracksPressesAndToggles();
    void timersRunPerIdentifierAndARestartReplaces();
    void timersPostTheirIdentifier();
};

void QtInputTest::qtKeysBecomeVirtualKeys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("keypad");
    QTest::addColumn<uint>("code");
    const struct {
        const char* name;
        int key;
        bool keypad;
        uint code;
    } rows[] = {
        {"A", Qt::Key_A, false, 0x41},
        {"Z", Qt::Key_Z, false, 0x5A},
        {"0", Qt::Key_0, false, 0x30},
        {"9", Qt::Key_9, false, 0x39},
        {"keypad 7", Qt::Key_7, true, 0x67},
        {"keypad *", Qt::Key_Asterisk, true, 0x6A},
        {"keypad +", Qt::Key_Plus, true, 0x6B},
        {"keypad -", Qt::Key_Minus, true, 0x6D},
        {"keypad .", Qt::Key_Period, true, 0x6E},
        {"keypad /", Qt::Key_Slash, true, 0x6F},
        {"keypad Enter", Qt::Key_Enter, true, 0x0D},
        {"keypad Left", Qt::Key_Left, true, 0x25},
        {"F1", Qt::Key_F1, false, 0x70},
        {"F12", Qt::Key_F12, false, 0x7B},
        {"F24", Qt::Key_F24, false, 0x87},
        {"Left", Qt::Key_Left, false, 0x25},
        {"Up", Qt::Key_Up, false, 0x26},
        {"Right", Qt::Key_Right, false, 0x27},
        {"Down", Qt::Key_Down, false, 0x28},
        {"Return", Qt::Key_Return, false, 0x0D},
        {"Escape", Qt::Key_Escape, false, 0x1B},
        {"Backspace", Qt::Key_Backspace, false, 0x08},
        {"Tab", Qt::Key_Tab, false, 0x09},
        {"Backtab", Qt::Key_Backtab, false, 0x09},
        {"Space", Qt::Key_Space, false, 0x20},
        {"Shift", Qt::Key_Shift, false, 0x10},
        {"Control", Qt::Key_Control, false, 0x11},
        {"Caps Lock", Qt::Key_CapsLock, false, 0x14},
        {"Num Lock", Qt::Key_NumLock, false, 0x90},
        {"Home", Qt::Key_Home, false, 0x24},
        {"Page Down", Qt::Key_PageDown, false, 0x22},
        {"Insert", Qt::Key_Insert, false, 0x2D},
        {"Delete", Qt::Key_Delete, false, 0x2E},
        {"minus", Qt::Key_Minus, false, 0xBD},
        {"underscore (shifted minus)", Qt::Key_Underscore, false, 0xBD},
        {"exclam (shifted 1)", Qt::Key_Exclam, false, 0x31},
        {"parenright (shifted 0)", Qt::Key_ParenRight, false, 0x30},
        {"bracketleft", Qt::Key_BracketLeft, false, 0xDB},
        {"apostrophe", Qt::Key_Apostrophe, false, 0xDE},
        {"unknown", Qt::Key_Eacute, false, 0},
    };
    for (const auto& row : rows)
        QTest::newRow(row.name) << row.key << row.keypad << row.code;
}

void QtInputTest::qtKeysBecomeVirtualKeys() {
    QFETCH(int, key);
    QFETCH(bool, keypad);
    QFETCH(uint, code);
    QCOMPARE(VirtualKeyFromQt(key, keypad), code);
}

void QtInputTest::mainBlockKeysGetTheirLayoutsCodes_data() {
    QTest::addColumn<EKeyboardLayout>("layout");
    QTest::addColumn<uint>("keycode");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("keypad");
    QTest::addColumn<uint>("code");
    using L = EKeyboardLayout;
    // The digit row of every layout gives the digits, whatever its keys show unshifted.
    const int frenchDigitRow[] = {Qt::Key_Ampersand,  Qt::Key_Eacute,     Qt::Key_QuoteDbl,
                                  Qt::Key_Apostrophe, Qt::Key_ParenLeft,  Qt::Key_Minus,
                                  Qt::Key_Egrave,     Qt::Key_Underscore, Qt::Key_Ccedilla,
                                  Qt::Key_Agrave};
    for (uint i = 0; i < 10; ++i) {
        const uint digit = i == 9 ? 0x30 : 0x31 + i;
        QTest::addRow("French digit key %u", i + 1)
            << L::kFrench << 10 + i << frenchDigitRow[i] << false << digit;
        for (L layout : {L::kUs, L::kGerman, L::kNordic, L::kOther})
            QTest::addRow("digit key %u of layout %d", i + 1, static_cast<int>(layout))
                << layout << 10 + i << int(Qt::Key_1) << false << digit;
    }
    const struct {
        const char* name;
        L layout;
        uint keycode;
        int key;
        uint code;
    } rows[] = {
        {"US `", L::kUs, 49, Qt::Key_QuoteLeft, 0xC0},
        {"US -", L::kUs, 20, Qt::Key_Minus, 0xBD},
        {"US ;", L::kUs, 47, Qt::Key_Semicolon, 0xBA},
        {"US '", L::kUs, 48, Qt::Key_Apostrophe, 0xDE},
        {"US backslash", L::kUs, 51, Qt::Key_Backslash, 0xDC},
        {"US /", L::kUs, 61, Qt::Key_Slash, 0xBF},
        {"US Q", L::kUs, 24, Qt::Key_Q, 0x51},
        {"UK `", L::kUk, 49, Qt::Key_QuoteLeft, 0xDF},
        {"UK '", L::kUk, 48, Qt::Key_Apostrophe, 0xC0},
        {"UK #", L::kUk, 51, Qt::Key_NumberSign, 0xDE},
        {"UK backslash", L::kUk, 94, Qt::Key_Backslash, 0xDC},
        {"French A", L::kFrench, 24, Qt::Key_A, 0x41},
        {"French Q", L::kFrench, 38, Qt::Key_Q, 0x51},
        {"French M", L::kFrench, 47, Qt::Key_M, 0x4D},
        {"French W", L::kFrench, 52, Qt::Key_W, 0x57},
        {"French ,", L::kFrench, 58, Qt::Key_Comma, 0xBC},
        {"French ;", L::kFrench, 59, Qt::Key_Semicolon, 0xBE},
        {"French :", L::kFrench, 60, Qt::Key_Colon, 0xBF},
        {"French !", L::kFrench, 61, Qt::Key_Exclam, 0xDF},
        {"French dead ^", L::kFrench, 34, Qt::Key_Dead_Circumflex, 0xDD},
        {"French $", L::kFrench, 35, Qt::Key_Dollar, 0xBA},
        {"French u grave", L::kFrench, 48, Qt::Key_Ugrave, 0xC0},
        {"French *", L::kFrench, 51, Qt::Key_Asterisk, 0xDC},
        {"French superscript 2", L::kFrench, 49, Qt::Key_twosuperior, 0xDE},
        {"French )", L::kFrench, 20, Qt::Key_ParenRight, 0xDB},
        {"French =", L::kFrench, 21, Qt::Key_Equal, 0xBB},
        {"French <", L::kFrench, 94, Qt::Key_Less, 0xE2},
        {"German a umlaut", L::kGerman, 48, Qt::Key_Adiaeresis, 0xDE},
        {"German o umlaut", L::kGerman, 47, Qt::Key_Odiaeresis, 0xC0},
        {"German u umlaut", L::kGerman, 34, Qt::Key_Udiaeresis, 0xBA},
        {"German sharp s", L::kGerman, 20, Qt::Key_ssharp, 0xDB},
        {"German dead acute", L::kGerman, 21, Qt::Key_Dead_Acute, 0xDD},
        {"German +", L::kGerman, 35, Qt::Key_Plus, 0xBB},
        {"German Z", L::kGerman, 29, Qt::Key_Z, 0x5A},
        {"German Y", L::kGerman, 52, Qt::Key_Y, 0x59},
        {"German -", L::kGerman, 61, Qt::Key_Minus, 0xBD},
        {"German dead ^", L::kGerman, 49, Qt::Key_Dead_Circumflex, 0xDC},
        {"German #", L::kGerman, 51, Qt::Key_NumberSign, 0xBF},
        {"German shifted 2", L::kGerman, 11, Qt::Key_QuoteDbl, 0x32},
        {"Spanish n tilde", L::kSpanish, 47, Qt::Key_Ntilde, 0xC0},
        {"Spanish c cedilla", L::kSpanish, 51, Qt::Key_Ccedilla, 0xBF},
        {"Spanish inverted !", L::kSpanish, 21, Qt::Key_exclamdown, 0xDD},
        {"Spanish dead grave", L::kSpanish, 34, Qt::Key_Dead_Grave, 0xBA},
        {"Italian e grave", L::kItalian, 34, Qt::Key_Egrave, 0xBA},
        {"Italian o grave", L::kItalian, 47, Qt::Key_Ograve, 0xC0},
        {"Italian a grave", L::kItalian, 48, Qt::Key_Agrave, 0xDE},
        {"Italian i grave", L::kItalian, 21, Qt::Key_Igrave, 0xDD},
        {"Nordic a ring", L::kNordic, 34, Qt::Key_Aring, 0xDD},
        {"Nordic o umlaut", L::kNordic, 47, Qt::Key_Odiaeresis, 0xC0},
        {"Nordic +", L::kNordic, 20, Qt::Key_Plus, 0xBB},
        {"Nordic dead acute", L::kNordic, 21, Qt::Key_Dead_Acute, 0xDB},
        {"Nordic dead diaeresis", L::kNordic, 35, Qt::Key_Dead_Diaeresis, 0xBA},
        {"Nordic -", L::kNordic, 61, Qt::Key_Minus, 0xBD},
        // Another layout: Latin letters are its own, the rest is the US key at that place.
        {"other layout's letter", L::kOther, 33, Qt::Key_L, 0x4C},
        {"other layout's punctuation", L::kOther, 24, Qt::Key_Apostrophe, 0x51},
        {"other layout's Cyrillic letter", L::kOther, 24, 0x0439, 0x51},
        {"other layout's key of US ;", L::kOther, 47, 0x0436, 0xBA},
        // Keys outside the main block are the same everywhere.
        {"French space", L::kFrench, 65, Qt::Key_Space, 0x20},
        {"French F1", L::kFrench, 67, Qt::Key_F1, 0x70},
        {"German Return", L::kGerman, 36, Qt::Key_Return, 0x0D},
        {"German left Shift", L::kGerman, 50, Qt::Key_Shift, 0x10},
        {"no scan code", L::kFrench, 0, Qt::Key_Exclam, 0x31},
    };
    for (const auto& row : rows)
        QTest::newRow(row.name) << row.layout << row.keycode << row.key << false << row.code;
    QTest::newRow("French keypad 1") << L::kFrench << 87u << int(Qt::Key_1) << true << 0x61u;
    QTest::newRow("keypad End") << L::kGerman << 87u << int(Qt::Key_End) << true << 0x23u;
}

void QtInputTest::mainBlockKeysGetTheirLayoutsCodes() {
    QFETCH(EKeyboardLayout, layout);
    QFETCH(uint, keycode);
    QFETCH(int, key);
    QFETCH(bool, keypad);
    QFETCH(uint, code);
    QCOMPARE(VirtualKeyForKey(keycode, layout, key, keypad), code);
}

void QtInputTest::layoutsComeFromTheirXkbNamesAndGroups() {
    using L = EKeyboardLayout;
    QCOMPARE(LayoutFromXkbName("us"), L::kUs);
    QCOMPARE(LayoutFromXkbName("gb"), L::kUk);
    QCOMPARE(LayoutFromXkbName("fr"), L::kFrench);
    QCOMPARE(LayoutFromXkbName("de(nodeadkeys)"), L::kGerman);
    QCOMPARE(LayoutFromXkbName("es"), L::kSpanish);
    QCOMPARE(LayoutFromXkbName("it"), L::kItalian);
    for (const char* nordic : {"se", "fi", "no", "dk"})
        QCOMPARE(LayoutFromXkbName(nordic), L::kNordic);
    QCOMPARE(LayoutFromXkbName("ru"), L::kOther);
    QCOMPARE(LayoutFromXkbName(""), L::kOther);
    using namespace std::string_view_literals;
    const std::string_view two = "evdev\0pc105\0us,de\0,nodeadkeys\0grp:alt_shift_toggle\0"sv;
    QCOMPARE(LayoutFromXkbRules(two, 0), L::kUs);
    QCOMPARE(LayoutFromXkbRules(two, 1), L::kGerman);
    QCOMPARE(LayoutFromXkbRules(two, 2), L::kUs); // groups wrap
    QCOMPARE(LayoutFromXkbRules("evdev\0pc105\0fr\0\0\0"sv, 0), L::kFrench);
    QCOMPARE(LayoutFromXkbRules("evdev\0pc105\0fr\0\0\0"sv, 3), L::kFrench);
    QCOMPARE(LayoutFromXkbRules("evdev"sv, 0), L::kOther);
    QCOMPARE(LayoutFromXkbRules(""sv, 0), L::kOther);
}

void QtInputTest::keysKeepTheCodeOfTheirPressUntilTheirRelease() {
    CWindowFixture f(qttest::kEventSinkProgram);
    EKeyboardLayout layout = EKeyboardLayout::kFrench;
    f.Screen().SetLayoutSource([&](uint32_t) { return layout; });
    SKeySender key{f.Screen()};
    // AZERTY: Shift, then the key of 1 and &; Shift goes up first, so the key goes up as &.
    key(kPress, Qt::Key_Shift, Qt::ShiftModifier, 50);
    key(kPress, Qt::Key_1, Qt::ShiftModifier, 10, "1");
    key(kRelease, Qt::Key_Shift, Qt::NoModifier, 50);
    key(kRelease, Qt::Key_Ampersand, Qt::NoModifier, 10, "&");
    // A key that types a letter outside ASCII goes down and up like any other.
    key(kPress, Qt::Key_Eacute, Qt::NoModifier, 11, QString(QChar(0xE9)));
    key(kRelease, Qt::Key_Eacute, Qt::NoModifier, 11, QString(QChar(0xE9)));
    // A held key repeats its press with the same code.
    key(kPress, Qt::Key_Z, Qt::NoModifier, 25, "z");
    QKeyEvent repeat(kPress, Qt::Key_Z, Qt::NoModifier, 25, 0, 0, "z", true);
    QApplication::sendEvent(&f.Screen(), &repeat);
    key(kRelease, Qt::Key_Z, Qt::NoModifier, 25, "z");
    // German: Shift+2 is ", and the key goes up as 2 once Shift is up.
    layout = EKeyboardLayout::kGerman;
    key(kPress, Qt::Key_Shift, Qt::ShiftModifier, 50);
    key(kPress, Qt::Key_QuoteDbl, Qt::ShiftModifier, 11, "\"");
    key(kRelease, Qt::Key_Shift, Qt::NoModifier, 50);
    key(kRelease, Qt::Key_2, Qt::NoModifier, 11, "2");
    key(kPress, Qt::Key_Adiaeresis, Qt::NoModifier, 48, QString(QChar(0xE4)));
    key(kRelease, Qt::Key_Adiaeresis, Qt::NoModifier, 48, QString(QChar(0xE4)));
    // The layout changed while a key was held: its release keeps the code of its press.
    key(kPress, Qt::Key_Z, Qt::NoModifier, 29, "z");
    layout = EKeyboardLayout::kUs;
    key(kRelease, Qt::Key_Y, Qt::NoModifier, 29, "y");

    const std::vector<SEvent> expected = {
        {2, 1, 1, 0x10}, {2, 1, 1, 0x31}, {2, 2, 0, '1'},  {2, 1, 2, 0x10}, {2, 1, 2, 0x31},
        {2, 1, 1, 0x32}, {2, 2, 0, 0xE9}, {2, 1, 2, 0x32}, // e acute
        {2, 1, 1, 0x5A}, {2, 2, 0, 'z'},  {2, 1, 1, 0x5A}, {2, 2, 0, 'z'},  {2, 1, 2, 0x5A},
        {2, 1, 1, 0x10}, {2, 1, 1, 0x32}, {2, 2, 0, '"'},  {2, 1, 2, 0x10}, {2, 1, 2, 0x32},
        {2, 1, 1, 0xDE}, {2, 2, 0, 0xE4}, {2, 1, 2, 0xDE}, // a umlaut
        {2, 1, 1, 0x5A}, {2, 2, 0, 'z'},  {2, 1, 2, 0x5A}, // German Z, released under US
    };
    QCOMPARE(qttest::Describe(f.TakeEvents()), qttest::Describe(expected));
    // No key stays held.
    for (uint32_t code : {0x10u, 0x31u, 0x32u, 0x37u, 0x5Au, 0x59u, 0xDEu}) {
        bool down = true, toggled = false;
        f.window->GetPlatform().GetKeyState(code, down, toggled);
        QVERIFY2(!down, qPrintable(QString::number(code, 16)));
    }
}

void QtInputTest::composedTextArrivesInTheCodePage() {
    CWindowFixture f(qttest::kEventSinkProgram);
    f.Screen().SetLayoutSource([](uint32_t) { return EKeyboardLayout::kFrench; });
    QVERIFY(f.Screen().testAttribute(Qt::WA_InputMethodEnabled));
    QCOMPARE(f.Screen().inputMethodQuery(Qt::ImEnabled).toBool(), true);
    SKeySender key{f.Screen()};
    // The input method keeps the presses of the dead circumflex and of e; what arrives is the
    // releases and the composed text.
    key(kRelease, Qt::Key_Dead_Circumflex, Qt::NoModifier, 34);
    key.Commit(QString(QChar(0xEA)));
    key(kRelease, Qt::Key_E, Qt::NoModifier, 26, "e");
    // The euro sign is 0x80 in the code page; a character it lacks is not sent.
    key.Commit(QString(QChar(0x20AC)) + QChar(0x101) + "x");
    const std::vector<SEvent> expected = {
        {2, 1, 1, 0xDD}, {2, 1, 2, 0xDD}, {2, 2, 0, 0xEA}, {2, 1, 1, 0x45},
        {2, 1, 2, 0x45}, {2, 2, 0, 0x80}, {2, 2, 0, 'x'},
    };
    QCOMPARE(qttest::Describe(f.TakeEvents()), qttest::Describe(expected));
    bool down = true, toggled = false;
    f.window->GetPlatform().GetKeyState(0x45, down, toggled);
    QVERIFY(!down);
}

void QtInputTest::mouseFlagsFollowButtonsAndModifiers() {
    QCOMPARE(CScreenWidget::MouseFlags(Qt::NoButton, Qt::NoModifier), 0u);
    QCOMPARE(CScreenWidget::MouseFlags(Qt::LeftButton, Qt::NoModifier), 0x01u);
    QCOMPARE(CScreenWidget::MouseFlags(Qt::RightButton, Qt::NoModifier), 0x02u);
    QCOMPARE(CScreenWidget::MouseFlags(Qt::MiddleButton, Qt::NoModifier), 0x10u);
    QCOMPARE(CScreenWidget::MouseFlags(Qt::LeftButton | Qt::RightButton,
                                       Qt::ShiftModifier | Qt::ControlModifier),
             0x0Fu);
    QCOMPARE(CScreenWidget::MouseFlags(Qt::XButton1 | Qt::XButton2, Qt::AltModifier), 0x60u);
}

void QtInputTest::keyStateTracksPressesAndToggles() {
    CHostTimers timers({});
    CQtPlatform platform(timers);
    bool down = true, toggled = true;
    platform.GetKeyState(0x14, down, toggled);
    QVERIFY(!down && !toggled);
    platform.KeyChanged(0x14, true);
    platform.KeyChanged(0x14, true); // a repeat does not toggle again
    platform.GetKeyState(0x14, down, toggled);
    QVERIFY(down && toggled);
    platform.KeyChanged(0x14, false);
    platform.GetKeyState(0x14, down, toggled);
    // Caps Lock on and released.
    QVERIFY(!down && toggled);
    platform.KeyChanged(0x14, true);
    platform.KeyChanged(0x14, false);
    platform.GetKeyState(0x14, down, toggled);
    QVERIFY(!down && !toggled);

    platform.KeyChanged(0x41, true);
    QVERIFY(platform.IsKeyDownNow(0x41));
    platform.ReleaseAllKeys();
    QVERIFY(!platform.IsKeyDownNow(0x41));
    platform.GetKeyState(0x41, down, toggled);
    QVERIFY(!down && toggled);
}

void QtInputTest::timersRunPerIdentifierAndARestartReplaces() {
    CHostTimers timers({});
    QVERIFY(timers.Start(1, 100));
    QVERIFY(timers.Start(2, 0));
    QVERIFY(timers.Start(1, 250));
    QCOMPARE(timers.GetCount(), size_t(2));
    QCOMPARE(timers.GetInterval(1), 250);
    QCOMPARE(timers.GetInterval(2), 10); // at least 10 ms
    QVERIFY(timers.Start(3, 0xFFFFFFFFu));
    QCOMPARE(timers.GetInterval(3), 0x7FFFFFFF);
    QVERIFY(timers.Stop(2));
    QVERIFY(!timers.Stop(2));
    QVERIFY(!timers.IsRunning(2));
    timers.StopAll();
    QCOMPARE(timers.GetCount(), size_t(0));
}

void QtInputTest::timersPostTheirIdentifier() {
    std::vector<uint32_t> fired;
    CHostTimers timers([&](uint32_t id) { fired.push_back(id); });
    CQtPlatform platform(timers);
    QVERIFY(platform.StartTimer(42, 10));
    QTRY_VERIFY(fired.size() >= 2);
    QCOMPARE(fired[0], 42u);
    QVERIFY(platform.StopTimer(42));
    const size_t count = fired.size();
    QTest::qWait(50);
    QCOMPARE(fired.size(), count);
}

QTEST_MAIN(QtInputTest)
#include "QtInputTest.moc"
