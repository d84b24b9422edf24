// The debugger window as a programmer drives it: symbols found beside the boot image, a
// breakpoint set by a click in the margin, the run and step keys, a register edited in
// place; the main window keeps sending the same keys to the program.
#include "WindowFixture.h"

#include "host/qt/DebuggerWindow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QPlainTextEdit>
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

QTEST_MAIN(QtDebuggerWindowTest)
#include "QtDebuggerWindowTest.moc"
