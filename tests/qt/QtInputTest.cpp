// Key codes, mouse flags, key state and host timers of the window program.
#include "host/qt/HostTimers.h"
#include "host/qt/KeyMap.h"
#include "host/qt/QtPlatform.h"
#include "host/qt/ScreenWidget.h"

#include <QSignalSpy>
#include <QTest>

#include <vector>

class QtInputTest : public QObject {
    Q_OBJECT
private slots:
    void qtKeysBecomeVirtualKeys_data();
    void qtKeysBecomeVirtualKeys();
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
