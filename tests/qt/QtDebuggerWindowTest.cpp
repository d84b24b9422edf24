// The debugger window as a programmer drives it: symbols found beside the boot image, a
// breakpoint set by a click in the margin, the run and step keys, stepping back, a register
// edited in place; the main window keeps sending the same keys to the program. Watchpoints
// set from the memory view and the list, the event queue listed, the views following the run.
#include "WindowFixture.h"

#include "host/qt/DebuggerWindow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QWindow>

using qttest::CWindowFixture;

namespace {

// Calls a routine that counts in r24 and says so, forever; it never takes an event, so
// keys stay queued.
const char* const kCountingProgram = R"(
        MOV.32  #stack, sp
loop:   CALL    bump
        INC.U32 [count]
        JMP     loop
bump:   INC.U32 r24
        MOV.16  #GROUP_SYSTEM | SYSTEM_MESSAGE << 8, r0
        MOV.8   #7, r2
        MOV.32  #text, r4
        SYS
        RET
text:   .db     "counted"
count:  .dd     0
        .align  4
stack:  .fill   256
)";

uint32_t Register(CKernel& kernel, uint32_t offset) {
    uint32_t value;
    std::memcpy(&value, kernel.GetMemory().GetRegisters() + offset, 4);
    return value;
}

int RowOf(const CDebuggerWindow& window, uint32_t address) {
    for (int row = 0; row < window.GetDisassemblyView()->rowCount(); ++row)
        if (window.RowAddress(row) == address)
            return row;
    return -1;
}

} // namespace

class QtDebuggerWindowTest : public QObject {
    Q_OBJECT
private slots:
    void stepsBreaksAndEditsRegisters();
    void watchesListsEventsAndFollowsTheRun();
};

void QtDebuggerWindowTest::stepsBreaksAndEditsRegisters() {
    CWindowFixture f(kCountingProgram);
    // The symbols beside the image count from the next boot on.
    CAssembler assembler;
    QVERIFY(assembler.AssembleText("test.asm",
                                   std::string(".include \"tarquil.inc\"\n") + kCountingProgram));
    const CSymbolFile symbols = assembler.GetSymbolFile();
    QVERIFY(testhelpers::WriteBytes(f.directory.path + "/boot.sym", symbols.Write()));
    f.window->GetAction("actionReset")->trigger();
    CDebuggerWindow& window = f.window->GetDebuggerWindow();
    CDebugger* debugger = window.GetDebugger();
    QVERIFY(debugger && debugger->GetSymbols().Find("bump"));
    const uint32_t loop = static_cast<uint32_t>(*symbols.Find("loop"));
    const uint32_t bump = static_cast<uint32_t>(*symbols.Find("bump"));

    f.window->GetAction("actionDebugger")->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(&window));

    // F5 pauses the running program; the disassembly marks IP.
    QTest::keyClick(&window, Qt::Key_F5);
    QTRY_VERIFY(debugger->IsPaused());
    const uint32_t pausedIp = f.Kernel().GetIP();
    const int ipRow = RowOf(window, pausedIp);
    QVERIFY(ipRow >= 0);
    QVERIFY(window.GetDisassemblyView()->item(ipRow, 1)->text().startsWith(u'\u25B6'));

    // A click in the margin of the CALL's row sets a breakpoint there; F5 runs to it.
    QTableWidget* view = window.GetDisassemblyView();
    int row = RowOf(window, loop);
    QVERIFY(row >= 0);
    QCOMPARE(view->item(row, 2)->text(), QString("loop"));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualItemRect(view->item(row, 0)).center());
    QCOMPARE(debugger->GetBreakpoints().size(), size_t{1});
    QCOMPARE(debugger->GetBreakpoints()[0].address, loop);
    QTest::keyClick(&window, Qt::Key_F5);
    QTRY_COMPARE(debugger->GetLastStop().kind, EDebugStop::Break);
    QVERIFY(debugger->IsPaused());
    QCOMPARE(f.Kernel().GetIP(), loop);

    // F10 runs the whole call: r24 counted once more, and it lit up where r28 did not.
    const uint32_t r24 = Register(f.Kernel(), 24);
    const uint64_t count = f.Kernel().GetInstructionCount();
    QTest::keyClick(&window, Qt::Key_F10);
    QTRY_COMPARE(debugger->GetLastStop().kind, EDebugStop::Step);
    const uint32_t behindCall = loop + debugger->Disassemble(loop).instruction.length;
    QCOMPARE(f.Kernel().GetIP(), behindCall);
    QCOMPARE(Register(f.Kernel(), 24), r24 + 1);
    QCOMPARE(f.Kernel().GetInstructionCount(), count + 7); // CALL and the routine's six
    QTableWidget* registers = window.GetRegisterView();
    QCOMPARE(registers->item(6, 0)->text(), QString("r24"));
    QCOMPARE(registers->item(6, 1)->text(), QString("%1").arg(r24 + 1, 8, 16, QChar('0')));
    QVERIFY(registers->item(6, 0)->background() != registers->item(7, 0)->background());
    // The call's message is in the log, after the instruction that sent it.
    const QString lastLine = window.GetLogView()->toPlainText().split('\n').last();
    QCOMPARE(lastLine, QString("%1  counted").arg(count + 7, 12));

    // F11 into the next call, Shift+F11 out of it again.
    QTest::keyClick(&window, Qt::Key_F11); // INC [count]
    QTRY_COMPARE(f.Kernel().GetInstructionCount(), count + 8);
    QTest::keyClick(&window, Qt::Key_F11); // JMP loop
    QTRY_COMPARE(f.Kernel().GetIP(), loop);
    QTest::keyClick(&window, Qt::Key_F11); // the breakpoint's instruction runs: into bump
    QTRY_COMPARE(f.Kernel().GetIP(), bump);
    QTest::keyClick(&window, Qt::Key_F11, Qt::ShiftModifier);
    QTRY_COMPARE(f.Kernel().GetIP(), behindCall);
    QCOMPARE(Register(f.Kernel(), 24), r24 + 2);

    // Shift+F10 steps back into the routine, before its RET; Shift+F5 goes back to the
    // breakpoint, before the call counted; F10 runs the call again as it ran.
    const std::vector<SDebugLine> routine = debugger->DisassembleFrom(bump, 6);
    QTest::keyClick(&window, Qt::Key_F10, Qt::ShiftModifier);
    QTRY_COMPARE(f.Kernel().GetIP(), routine.back().address);
    QCOMPARE(f.Kernel().GetInstructionCount(), count + 15);
    QVERIFY(debugger->IsInPast());
    QTest::keyClick(&window, Qt::Key_F5, Qt::ShiftModifier);
    QTRY_COMPARE(f.Kernel().GetIP(), loop);
    QCOMPARE(debugger->GetLastStop().kind, EDebugStop::Break);
    QCOMPARE(f.Kernel().GetInstructionCount(), count + 9);
    QCOMPARE(Register(f.Kernel(), 24), r24 + 1);
    QTest::keyClick(&window, Qt::Key_F10);
    QTRY_COMPARE(f.Kernel().GetInstructionCount(), count + 16);
    QCOMPARE(f.Kernel().GetIP(), behindCall);
    QCOMPARE(Register(f.Kernel(), 24), r24 + 2);

    // A register edited in the view is the machine's, in every width the view shows.
    registers->item(2, 2)->setText("1234"); // r8 as a dword
    QCOMPARE(Register(f.Kernel(), 8), 1234u);
    window.findChild<QComboBox*>("registerWidth")->setCurrentIndex(3); // floats
    QCOMPARE(registers->item(3, 0)->text(), QString("r12"));
    registers->item(3, 2)->setText("2.5");
    float real;
    std::memcpy(&real, f.Kernel().GetMemory().GetRegisters() + 12, 4);
    QCOMPARE(real, 2.5f);
    QTRY_COMPARE(registers->item(3, 2)->text(), QString("2.5"));

    // F9 on the breakpoint's row removes it; F5 lets the program run freely again.
    view->setCurrentCell(RowOf(window, loop), 1);
    QTest::keyClick(&window, Qt::Key_F9);
    QVERIFY(debugger->GetBreakpoints().empty());
    QTest::keyClick(&window, Qt::Key_F5);
    QTRY_VERIFY(Register(f.Kernel(), 24) > r24 + 100);
    QVERIFY(!debugger->IsPaused());

    // The main window, active again, still hands F5 to the program.
    f.window->windowHandle()->requestActivate();
    QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(f.window.get()));
    f.TakeEvents();
    QTest::keyClick(&f.Screen(), Qt::Key_F5);
    QVERIFY(!debugger->IsPaused());
    bool sawF5 = false;
    for (const auto& event : f.TakeEvents())
        sawF5 |= event.group == 2 && event.kind == 1 && event.dword4 == 0x74; // VK_F5
    QVERIFY(sawF5);
}

void QtDebuggerWindowTest::watchesListsEventsAndFollowsTheRun() {
    CWindowFixture f(kCountingProgram);
    CAssembler assembler;
    QVERIFY(assembler.AssembleText("test.asm",
                                   std::string(".include \"tarquil.inc\"\n") + kCountingProgram));
    const uint32_t count = static_cast<uint32_t>(*assembler.GetSymbolFile().Find("count"));
    const uint32_t loop = static_cast<uint32_t>(*assembler.GetSymbolFile().Find("loop"));
    CDebuggerWindow& window = f.window->GetDebuggerWindow();
    CDebugger* debugger = window.GetDebugger();
    QVERIFY(debugger);
    f.window->GetAction("actionDebugger")->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // While the program runs, the register view follows r24 without any stop.
    QTableWidget* registers = window.GetRegisterView();
    QCOMPARE(registers->item(6, 0)->text(), QString("r24"));
    const QString r24 = registers->item(6, 1)->text();
    QTRY_VERIFY(registers->item(6, 1)->text() != r24);
    QVERIFY(!debugger->IsPaused());
    window.ContinueOrPause();
    QTRY_VERIFY(debugger->IsPaused());

    // The queue as the program would take it, oldest first.
    f.Kernel().PostKeyEvent(0, 0x41);
    f.Kernel().PostCharEvent('A');
    f.Kernel().PostMouseButtonEvent(EMouseButton::Right, EMouseAction::DoubleClick, 0x0002, 10, 20);
    window.Refresh();
    QListWidget* events = window.GetEventView();
    QCOMPARE(events->count(), 4);
    QCOMPARE(events->item(1)->text(), QString("  2.1  key down, virtual key 0x41"));
    QCOMPARE(events->item(2)->text(), QString("  2.2  character 0x41 'A'"));
    QCOMPARE(events->item(3)->text(),
             QString("  3.2  mouse right double click at (10, 20), flags 0x0002"));

    // The dword `count` selected in the memory view and watched: the run stops right after
    // the INC that changed it, with that instruction's head.
    window.ShowMemoryAt(QString("0x%1").arg(count, 0, 16));
    QTableWidget* memory = window.GetMemoryView();
    memory->clearSelection();
    for (uint32_t address = count; address < count + 4; ++address)
        memory
            ->item(static_cast<int>((address - (count & ~15u)) / 16),
                   static_cast<int>(address % 16) + 1)
            ->setSelected(true);
    window.findChild<QAction*>("actionWatchMemory")->trigger();
    QCOMPARE(debugger->GetWatchpoints().size(), size_t{1});
    QCOMPARE(debugger->GetWatchpoints()[0].address, count);
    QCOMPARE(debugger->GetWatchpoints()[0].length, 4u);
    window.ContinueOrPause();
    QTRY_COMPARE(debugger->GetLastStop().kind, EDebugStop::Watch);
    const uint32_t increment = loop + debugger->Disassemble(loop).instruction.length;
    QCOMPARE(debugger->GetLastStop().address, increment);
    QTableWidget* watchpoints = window.GetWatchpointView();
    QCOMPARE(watchpoints->rowCount(), 1);
    QCOMPARE(watchpoints->item(0, 2)->text(), QString("Write"));
    QVERIFY(watchpoints->item(0, 5)->text().endsWith("1 hits"));

    // Switched off in its list, it lets the program count on; one typed into the field
    // stops it again, and Remove takes that one away.
    watchpoints->item(0, 0)->setCheckState(Qt::Unchecked);
    QVERIFY(!debugger->GetWatchpoints()[0].enabled);
    uint32_t counted = 0;
    f.Kernel().GetMemory().ReadDword(count, counted, true);
    window.ContinueOrPause();
    QTRY_VERIFY(!debugger->IsPaused());
    QTRY_VERIFY([&] {
        uint32_t now = 0;
        f.Kernel().GetMemory().ReadDword(count, now, true);
        return now > counted + 10;
    }());
    auto* field = window.findChild<QLineEdit*>("watchpointField");
    field->setText("0x" + QString::number(count, 16) + ":4");
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(debugger->GetWatchpoints().size(), size_t{2});
    QTRY_VERIFY(debugger->IsPaused());
    QCOMPARE(debugger->GetLastStop().kind, EDebugStop::Watch);
    QCOMPARE(debugger->GetLastStop().id, debugger->GetWatchpoints()[1].id);
    watchpoints->setCurrentCell(1, 1);
    window.findChild<QPushButton*>("removeWatchpoint")->click();
    QCOMPARE(debugger->GetWatchpoints().size(), size_t{1});
    QCOMPARE(watchpoints->rowCount(), 1);

    // The same bytes watched for reads, the kind chosen beside the field: the INC reads them
    // before it changes them, and the status says "read".
    window.findChild<QComboBox*>("watchpointKind")->setCurrentText("Read");
    field->setText("0x" + QString::number(count, 16) + ":4");
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(debugger->GetWatchpoints().size(), size_t{2});
    QCOMPARE(debugger->GetWatchpoints()[1].kind, EWatchKind::Read);
    QCOMPARE(watchpoints->item(1, 2)->text(), QString("Read"));
    window.ContinueOrPause();
    QTRY_VERIFY(debugger->IsPaused());
    QCOMPARE(debugger->GetLastStop().kind, EDebugStop::Watch);
    QVERIFY(debugger->GetLastStop().read);
    QCOMPARE(debugger->GetLastStop().address, increment);
    const QString said = window.findChild<QLabel*>("debuggerStatus")->text();
    QVERIFY2(said.startsWith(QString("Watchpoint %1 (read by 0x%2) at ")
                                 .arg(debugger->GetWatchpoints()[1].id)
                                 .arg(increment, 8, 16, QChar('0'))),
             qPrintable(said));
}

QTEST_MAIN(QtDebuggerWindowTest)
#include "QtDebuggerWindowTest.moc"
