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
#include <QCheckBox>
#include <QFontDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>

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

// Never waits: the processor runs whenever the window lets it.
const char* const kBusyProgram = "start: JMP start\n";

// Switches to a 40 x 10 text screen at the first typed character, then to 320 x 200
// graphics at the second.
const char* const kModeOnKeyProgram = R"(
        MOV.32  #stack, sp
        CALL    next_key
        MOV.16  #GROUP_SCREEN | SCREEN_SET_MODE << 8, r0
        MOV.8   #MODE_TEXT, r2
        MOV.32  #40, r8
        MOV.32  #10, r12
        SYS
        CALL    next_key
        MOV.16  #GROUP_SCREEN | SCREEN_SET_MODE << 8, r0
        MOV.8   #MODE_GRAPHICS, r2
        MOV.32  #320, r8
        MOV.32  #200, r12
        SYS
done:   WAIT
        JMP     done
next_key:
        WAIT
        GETEVENT
        NE.16   r0, #EVENT_KEYBOARD | KIND_CHAR << 8, [flag]
        JNZ.8   next_key, [flag]
        RET
flag:   .db     0
        .align  4
        .fill   256
stack:
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
    void modalLoopsHoldTheProcessorWithOneActivityPairEach();
    void fontDialogOffersNoUnderlineOrStrikeOut();
    void windowFollowsTheScreenAndKeepsItWhole();
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

void QtMainWindowTest::modalLoopsHoldTheProcessorWithOneActivityPairEach() {
    CWindowFixture f(kBusyProgram);
    CMachineRunner& runner = f.window->GetRunner();
    QTRY_VERIFY(runner.GetSliceCount() > 0);
    QMenuBar* bar = f.window->menuBar();
    const QList<QAction*> menus = bar->actions();
    QVERIFY(menus.size() >= 2);

    // Open File and slide to Settings: one session, and the processor stands still in it.
    bar->setActiveAction(menus[0]);
    QTRY_COMPARE(QApplication::activePopupWidget(), menus[0]->menu());
    const uint64_t atOpen = runner.GetSliceCount();
    bar->setActiveAction(menus[1]);
    QTRY_COMPARE(QApplication::activePopupWidget(), menus[1]->menu());
    QTest::qWait(50);
    QCOMPARE(runner.GetSliceCount(), atOpen);
    menus[1]->menu()->close();
    QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
    QTRY_VERIFY(runner.GetSliceCount() > atOpen);

    // A modal dialog holds it too.
    uint64_t inDialog[2] = {0, 1};
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        inDialog[0] = runner.GetSliceCount();
        QTest::qWait(50);
        inDialog[1] = runner.GetSliceCount();
        if (box)
            box->accept();
    });
    f.window->GetAction("actionAbout")->trigger();
    QCOMPARE(inDialog[1], inDialog[0]);
    QTRY_VERIFY(runner.GetSliceCount() > inDialog[1]);

    std::vector<SEvent> events = f.TakeEvents();
    std::erase_if(events, [](const SEvent& e) { return e.group != 1; });
    const std::vector<SEvent> expected = {{1, 1, 0, 0}, {1, 1, 1, 0}, {1, 1, 0, 0}, {1, 1, 1, 0}};
    QCOMPARE(qttest::Describe(events), qttest::Describe(expected));
}

void QtMainWindowTest::fontDialogOffersNoUnderlineOrStrikeOut() {
    CWindowFixture f(qttest::kEventSinkProgram);
    int effects = 0, shownEffects = -1;
    bool monospaced = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        const QList<QCheckBox*> boxes = dialog->findChildren<QCheckBox*>();
        effects = static_cast<int>(boxes.size());
        shownEffects = static_cast<int>(
            std::count_if(boxes.begin(), boxes.end(), [](QCheckBox* b) { return b->isVisible(); }));
        monospaced = dialog->testOption(QFontDialog::MonospacedFonts);
        dialog->reject();
    });
    const SFontRecord before = f.Machine()->screen->GetFontRecord();
    f.window->GetAction("actionFont")->trigger();
    QVERIFY(effects >= 2); // the dialog has them, hidden
    QCOMPARE(shownEffects, 0);
    QVERIFY(monospaced);
    QVERIFY(f.Machine()->screen->GetFontRecord() == before);
}

void QtMainWindowTest::windowFollowsTheScreenAndKeepsItWhole() {
    CWindowFixture f(kModeOnKeyProgram);
    f.Settle();
    auto chooseFont = [&](int pixels) {
        f.window->GetSurface().SetFontChooser([pixels](QFont& font, QWidget*) {
            font = QFont("DejaVu Sans Mono");
            font.setPixelSize(pixels);
            return true;
        });
        f.window->GetAction("actionFont")->trigger();
    };
    auto grid = [&](int columns, int rows) {
        int32_t cellWidth = 0, cellHeight = 0;
        f.Machine()->screen->GetCellSize(cellWidth, cellHeight);
        return QSize(columns * cellWidth, rows * cellHeight);
    };
    // A smaller font: the window shrinks to the text, and no further.
    chooseFont(12);
    const QSize small = grid(80, 25);
    QTRY_COMPARE(f.Screen().size(), small);
    QCOMPARE(f.Screen().minimumSize(), small);
    f.window->resize(200, 150);
    QTest::qWait(20);
    QVERIFY(f.Screen().width() >= small.width() && f.Screen().height() >= small.height());

    // A font too large for the desktop: the window takes the desktop's free area.
    chooseFont(40);
    const QRect available = f.window->screen()->availableGeometry();
    QTRY_VERIFY(f.Screen().width() > small.width());
    QVERIFY(f.window->frameGeometry().width() <= available.width());
    QVERIFY(f.window->frameGeometry().height() <= available.height());
    QVERIFY(f.Screen().minimumWidth() <= available.width());

    // The program changes the mode: the window follows.
    chooseFont(12);
    QTest::keyClick(&f.Screen(), Qt::Key_Space);
    QTRY_COMPARE(f.Screen().size(), grid(40, 10));
    QTest::keyClick(&f.Screen(), Qt::Key_Space);
    QTRY_COMPARE(f.Screen().minimumSize(), QSize(320, 200));
    int32_t x, y, width, height;
    f.Machine()->screen->GetPictureLayout(x, y, width, height);
    QCOMPARE(f.Screen().size(), QSize(width, height));
}

QTEST_MAIN(QtMainWindowTest)
#include "QtMainWindowTest.moc"
