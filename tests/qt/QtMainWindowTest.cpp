// The window program as a user meets it: keys reach the program, its text shows in the
// window, the menu commands work, and a failed start leaves a black window and an error box.
#include "WindowFixture.h"

#include "devices/Screen.h"
#include "devices/ScreenText.h"
#include "host/qt/DisksDialog.h"
#include "host/qt/QtScreenSurface.h"
#include "support/INIFile.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QTimer>
#include <QWheelEvent>

using qttest::CWindowFixture;
using SEvent = CWindowFixture::SEvent;

namespace {

// Echoes every typed character into row 0 (white on blue) and refreshes the screen.
const char* const kEchoProgram = R"(
start:  WAIT
        GETEVENT
        NE.16   r0, #EVENT_KEYBOARD | KIND_CHAR << 8, [flag]
        JNZ.8   start, [flag]
        MOV.8   r4, [char]
        MOV.8   #GROUP_SCREEN, r0
        MOV.8   #SCREEN_PUT_CELL, r1
        MOV.8   [char], r2
        MOV.8   #0, r3
        MOV.32  [column], r8
        MOV.32  #0, r12
        MOV.32  #COLOR_WHITE, r16
        MOV.32  #COLOR_BLUE, r20
        SYS
        INC.U32 [column]
        MOV.8   #GROUP_SCREEN, r0
        MOV.8   #SCREEN_REFRESH, r1
        SYS
        JMP     start
flag:   .db 0
char:   .db 0
column: .dd 0
)";

// Waits for a keyboard event, then runs into an invalid instruction.
const char* const kFailOnKeyProgram = R"(
start:  WAIT
        GETEVENT
        NE.8    r0, #EVENT_KEYBOARD, [flag]
        JNZ.8   start, [flag]
        .db     0x00, 0x70
flag:   .db     0
)";

// Counts the pixels of a colour in a rectangle of an image.
int CountPixels(const QImage& image, const QRect& area, QColor colour) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += QColor(image.pixel(x, y)).rgb() == colour.rgb() ? 1 : 0;
    return count;
}

} // namespace

class QtMainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void keyPressReachesTheProgramAsEvents();
    void systemKeysAndDeleteAreNotTyped();
    void typedTextAppearsInTheWindow();
    void mouseEventsArriveInCells();
    void resetBuildsANewMachineAndRestoresThePlainTitle();
    void disksDialogInsertsAndEjects();
    void fontChangeIsWrittenToTheUserSettings();
    void failedStartShowsTheErrorAndLeavesABlackWindow();
    void exitQuestionAnsweredNoKeepsTheMachine();
    void hostTimersPostTimerEventsAndEndWithTheMachine();
};

void QtMainWindowTest::keyPressReachesTheProgramAsEvents() {
    CWindowFixture f(qttest::kEventSinkProgram);
    QTest::keyClick(&f.Screen(), Qt::Key_A);
    QTest::keyClick(&f.Screen(), Qt::Key_Exclam, Qt::ShiftModifier); // Shift+1 on US keys
    QTest::keyClick(&f.Screen(), Qt::Key_Left);
    QTest::keyClick(&f.Screen(), Qt::Key_Tab); // the program's, not the focus chain's
    const std::vector<SEvent> expected = {
        {2, 1, 1, 0x41}, {2, 2, 0, 'a'},  {2, 1, 2, 0x41}, // A
        {2, 1, 1, 0x10}, {2, 1, 1, 0x31}, {2, 2, 0, '!'},  // Shift, 1, !
        {2, 1, 2, 0x31}, {2, 1, 2, 0x10},                  // release both
        {2, 1, 1, 0x25}, {2, 1, 2, 0x25},                  // Left: no character
        {2, 1, 1, 0x09}, {2, 2, 0, '\t'}, {2, 1, 2, 0x09}, // Tab
    };
    QCOMPARE(qttest::Describe(f.TakeEvents()), qttest::Describe(expected));
}

void QtMainWindowTest::systemKeysAndDeleteAreNotTyped() {
    CWindowFixture f(qttest::kEventSinkProgram);
    QTest::keyClick(&f.Screen(), Qt::Key_X, Qt::AltModifier);
    QTest::keyClick(&f.Screen(), Qt::Key_Delete);
    QTest::keyClick(&f.Screen(), Qt::Key_E, Qt::NoModifier); // text "e"
    const std::vector<SEvent> expected = {
        {2, 1, 1, 0x2E}, {2, 1, 2, 0x2E}, {2, 1, 1, 0x45}, {2, 2, 0, 'e'}, {2, 1, 2, 0x45},
    };
    QCOMPARE(qttest::Describe(f.TakeEvents()), qttest::Describe(expected));
    // The key state follows the window's key messages, Alt included.
    bool down = true, toggled = false;
    f.window->GetPlatform().GetKeyState(0x45, down, toggled);
    QVERIFY(!down);
    QVERIFY(toggled); // one press so far
}

void QtMainWindowTest::typedTextAppearsInTheWindow() {
    CWindowFixture f(kEchoProgram);
    f.Settle();
    QTest::keyClicks(&f.Screen(), "Hi");
    QTRY_COMPARE(TextScreenLines(*f.Machine()->screen).at(0), std::string("Hi"));
    f.Settle();

    const QImage grab = f.Screen().grab().toImage();
    int32_t originX, originY, width, height;
    f.Machine()->screen->GetTextLayout(originX, originY, width, height);
    int32_t cellWidth, cellHeight;
    QVERIFY(f.Machine()->screen->GetCellSize(cellWidth, cellHeight));
    const QRect first(originX, originY, cellWidth, cellHeight);
    // The typed cells: blue background with white strokes; the next cell stays black.
    QVERIFY(CountPixels(grab, first, Qt::blue) > cellWidth * cellHeight / 2);
    QVERIFY(CountPixels(grab, first, Qt::white) > 3);
    const QRect third = first.translated(2 * cellWidth, 0);
    QCOMPARE(CountPixels(grab, third, Qt::black), cellWidth * cellHeight);
}

void QtMainWindowTest::mouseEventsArriveInCells() {
    CWindowFixture f(qttest::kEventSinkProgram);
    int32_t originX, originY, width, height, cellWidth, cellHeight;
    f.Machine()->screen->GetTextLayout(originX, originY, width, height);
    QVERIFY(f.Machine()->screen->GetCellSize(cellWidth, cellHeight));
    // Over the third column of the second row.
    const QPoint point(originX + 2 * cellWidth + 1, originY + cellHeight + 1);
    QTest::mousePress(&f.Screen(), Qt::LeftButton, Qt::ShiftModifier, point);
    QTest::mouseRelease(&f.Screen(), Qt::LeftButton, Qt::NoModifier, point);
    QWheelEvent wheel(point, f.Screen().mapToGlobal(point), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&f.Screen(), &wheel);

    std::vector<SEvent> events = f.TakeEvents();
    // Moves may come along; keep buttons and the wheel.
    std::erase_if(events, [](const SEvent& e) { return e.group == 3 && e.kind == 1; });
    const std::vector<SEvent> expected = {
        {3, 2, 1, 0x1 | 0x4}, // left down, with MK_LBUTTON and MK_SHIFT
        {3, 2, 1, 0},         // left up
        {3, 3, 0, 0},         // the wheel
    };
    QCOMPARE(qttest::Describe(events).count('{'), qsizetype(expected.size()));
    for (size_t i = 0; i < events.size(); ++i) {
        QCOMPARE(events[i].group, expected[i].group);
        QCOMPARE(events[i].kind, expected[i].kind);
        QCOMPARE(events[i].dword4, expected[i].dword4);
    }
    // The position of the last event: column 2, row 1; the wheel's lines as a float.
    const uint8_t* r = f.Kernel().GetMemory().GetRegisters();
    uint32_t x, y, lines;
    std::memcpy(&x, r + 8, 4);
    std::memcpy(&y, r + 12, 4);
    std::memcpy(&lines, r + 16, 4);
    QCOMPARE(x, 2u);
    QCOMPARE(y, 1u);
    QCOMPARE(lines, 0x40400001u); // 3.0000002
}

void QtMainWindowTest::resetBuildsANewMachineAndRestoresThePlainTitle() {
    CWindowFixture f(kFailOnKeyProgram);
    f.Settle();
    QCOMPARE(f.window->windowTitle(), QString("Tarquil"));
    QTest::keyClick(&f.Screen(), Qt::Key_Space);
    QTRY_COMPARE(f.window->windowTitle(), QString("Tarquil [Invalid opcode]"));
    QVERIFY(!f.Kernel().IsRunning());

    f.window->GetAction("actionReset")->trigger();
    QCOMPARE(f.window->windowTitle(), QString("Tarquil"));
    QVERIFY(f.Machine() != nullptr);
    QVERIFY(f.Kernel().IsRunning());
    f.Settle();
    QCOMPARE(f.window->windowTitle(), QString("Tarquil"));
    // The stop wrote the user settings.
    QVERIFY(f.UserSettingsText().find("[Font]") != std::string::npos);
}

void QtMainWindowTest::disksDialogInsertsAndEjects() {
    CWindowFixture f(qttest::kEventSinkProgram);
    const std::string other = f.directory.path + "/other.disk";
    QVERIFY(testhelpers::WriteBytes(other, testhelpers::DiskImageBytes(std::string(16, 'd'))));
    f.window->SetDiskFilePicker([&](QWidget*) { return QString::fromStdString(other); });

    QStringList lines;
    QString detail;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CDisksDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->GetList().setCurrentRow(1);
        dialog->InsertIntoSelected();
        for (int i = 0; i < dialog->GetList().count(); ++i)
            lines << dialog->GetList().item(i)->text();
        detail = dialog->GetRememberLabel().text();
        dialog->EjectSelected();
        lines << dialog->GetList().item(1)->text();
        dialog->accept();
    });
    f.window->GetAction("actionDisks")->trigger();

    QCOMPARE(lines, QStringList({"0. [00] boot", "1. [00] other", "1. [00] "}));
    QCOMPARE(detail, QString("Remember : False"));
    const std::vector<SEvent> expected = {
        {1, 1, 0, 0}, // the window went into a modal loop
        {6, 1, 0, 1}, // inserted into slot 1
        {6, 2, 0, 1}, // ejected from slot 1
        {1, 1, 1, 0}, // back
    };
    QCOMPARE(qttest::Describe(f.TakeEvents()), qttest::Describe(expected));
}

void QtMainWindowTest::fontChangeIsWrittenToTheUserSettings() {
    CWindowFixture f(kEchoProgram);
    f.Settle();
    f.window->GetSurface().SetFontChooser([](QFont& font, QWidget*) {
        font = QFont("DejaVu Sans Mono");
        font.setPixelSize(20);
        font.setBold(true);
        return true;
    });
    f.window->GetAction("actionFont")->trigger();
    int32_t cellWidth = 0, cellHeight = 0;
    QVERIFY(f.Machine()->screen->GetCellSize(cellWidth, cellHeight));
    QVERIFY(cellWidth > 8 && cellHeight > 16);

    f.window->StopMachine();
    qm::CINIFile saved;
    saved.Parse(f.UserSettingsText());
    std::string face;
    int32_t height = 0, weight = 0;
    saved.GetString("Font", "FaceName", face);
    saved.GetInt("Font", "Height", height);
    saved.GetInt("Font", "Weight", weight);
    QCOMPARE(face, std::string("DejaVu Sans Mono"));
    QCOMPARE(height, -20);
    QCOMPARE(weight, 700);

    // The next machine reads it back.
    f.window->StartMachine();
    QCOMPARE(f.Machine()->screen->GetFontRecord().faceName, std::string("DejaVu Sans Mono"));
}

void QtMainWindowTest::failedStartShowsTheErrorAndLeavesABlackWindow() {
    CWindowFixture f(qttest::kEventSinkProgram,
                     "[Memory]\nSize=nothing\n[Kernel]\nPriority=3\n[Disks]\nCount=1\n");
    QCOMPARE(f.window->GetMachine(), nullptr);
    QCOMPARE(f.errors.boxes.size(), size_t(1));
    const std::string& box = f.errors.boxes[0];
    QVERIFY2(box.rfind("[.\\main,270] Unable to start the machine\n", 0) == 0, box.c_str());
    QVERIFY2(box.find("Invalid memory size") != std::string::npos, box.c_str());
    QCOMPARE(f.window->windowTitle(), QString("Tarquil"));

    const QImage grab = f.Screen().grab().toImage();
    QCOMPARE(CountPixels(grab, grab.rect(), Qt::black), grab.width() * grab.height());
    // Without a machine, Font and Disks do nothing.
    f.window->GetAction("actionFont")->trigger();
    f.window->GetAction("actionDisks")->trigger();
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    QVERIFY(!f.window->GetRunner().IsScheduled());
}

void QtMainWindowTest::exitQuestionAnsweredNoKeepsTheMachine() {
    CWindowFixture f(qttest::kEventSinkProgram, qttest::kDefaultConfig, "");
    QVERIFY(f.window->IsAskingOnExit());
    QString question;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        question = box->text();
        box->button(QMessageBox::No)->click();
    });
    f.window->GetAction("actionExit")->trigger();
    QCOMPARE(question, QString("Do you really want to exit ?"));
    QVERIFY(f.window->isVisible());
    QVERIFY(f.Machine() != nullptr);
    const std::vector<SEvent> expected = {{1, 1, 0, 0}, {1, 1, 1, 0}};
    QCOMPARE(qttest::Describe(f.TakeEvents()), qttest::Describe(expected));
}

void QtMainWindowTest::hostTimersPostTimerEventsAndEndWithTheMachine() {
    CWindowFixture f(R"(
        MOV.8   #GROUP_SYSTEM, r0
        MOV.8   #SYSTEM_START_TIMER, r1
        MOV.32  #7, r4
        MOV.32  #15, r8
        SYS
start:  WAIT
        JMP     start
)");
    QTRY_VERIFY(f.window->GetTimers().IsRunning(7));
    QTRY_VERIFY(f.Kernel().GetEventCount() >= 2);
    std::vector<SEvent> events = f.TakeEvents();
    std::erase_if(events, [](const SEvent& e) { return !(e.group == 1 && e.kind == 2); });
    QVERIFY(!events.empty());
    QCOMPARE(events.front().dword4, 7u);
    f.window->GetAction("actionReset")->trigger();
    QCOMPARE(f.window->GetTimers().GetCount(), size_t(0));
}

QTEST_MAIN(QtMainWindowTest)
#include "QtMainWindowTest.moc"
