// Saved states and recordings in the window program: a session recorded in the window runs
// again in the headless runner to the same screen, memory and registers; a state saved in
// the window comes back when loaded, a damaged one changes nothing; the quick-slot keys save
// without reaching the program.
#include "WindowFixture.h"

#include "devices/ScreenText.h"
#include "host/qt/StateCommands.h"

#include "../programs/RunnerProcess.h"

#include <QAction>

#include <cstring>
#include <sstream>

using qttest::CWindowFixture;

namespace {

// Echoes typed characters into row 0, and adds the host clock and the mouse's place, as the
// program saw them at each key, into sums at 0x1000 and 0x1004.
const char* const kClockEchoProgram = R"(
start:  MOV.32  #0x2000, sp
main:   GETEVENT
        JNZ.8   .got, r0
        WAIT
        JMP     main
.got:   NE.16   r0, #EVENT_KEYBOARD | KIND_CHAR << 8, r24
        JNZ.8   main, r24
        MOV.8   r4, [char]
        MOV.16  #GROUP_SYSTEM | SYSTEM_TIME << 8, r0
        SYS
        ADD.U32 [sum], r4, [sum]
        MOV.16  #GROUP_MOUSE | MOUSE_POSITION << 8, r0
        SYS
        ADD.U32 [place], r8, [place]
        ADD.U32 [place], r12, [place]
        MOV.16  #GROUP_SCREEN | SCREEN_PUT_CELL << 8, r0
        MOV.8   [char], r2
        CLR.8   r3
        MOV.32  [column], r8
        CLR.32  r12
        MOV.32  #COLOR_WHITE, r16
        MOV.32  #COLOR_BLUE, r20
        SYS
        INC.U32 [column]
        MOV.16  #GROUP_SCREEN | SCREEN_REFRESH << 8, r0
        SYS
        JMP     main
char:   .db 0
column: .dd 0
        .org 0x1000
sum:    .dd 0
place:  .dd 0
)";

std::string Hex(const uint8_t* bytes, size_t count) {
    static const char* const kDigits = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

std::vector<std::string> OutputLines(const std::string& out) {
    std::vector<std::string> lines;
    std::istringstream stream(out);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

} // namespace

class QtStateTest : public QObject {
    Q_OBJECT
private slots:
    void aWindowRecordingReplaysHeadlessToTheSameMachine();
    void aSavedStateComesBackAndADamagedOneChangesNothing();
    void quickSlotKeysSaveWithoutReachingTheProgram();
};

void QtStateTest::aWindowRecordingReplaysHeadlessToTheSameMachine() {
    CWindowFixture f(kClockEchoProgram);
    f.Settle();
    QTest::keyClicks(&f.Screen(), "ab");
    f.Settle();
    // The recording begins in the middle of a session, with the program waiting.
    const std::string recording = f.directory.path + "/session.record";
    std::string problem;
    QVERIFY(f.window->GetStateCommands().StartRecording(recording, problem));
    QVERIFY(f.window->GetAction("actionRecordSession")->isChecked());
    int step = 0;
    for (const char* text : {"Hello", ", ", "world"}) {
        ++step;
        QTest::mouseMove(&f.Screen(), QPoint(40 * step, 30 * step));
        QTest::keyClicks(&f.Screen(), text);
        QTest::qWait(20); // the clock moves between the keys
    }
    QTRY_COMPARE(TextScreenLines(*f.Machine()->screen).at(0), std::string("abHello, world"));
    f.Settle();
    QVERIFY(f.window->GetStateCommands().StopRecording(problem));
    QVERIFY(!f.window->GetAction("actionRecordSession")->isChecked());
    const std::string registers = Hex(f.Kernel().GetRegisterBytes(), kRegisterBlockSize);
    const std::string sums = Hex(f.Kernel().GetMemory().GetData() + 0x1000, 8);
    uint32_t place;
    std::memcpy(&place, f.Kernel().GetMemory().GetData() + 0x1004, 4);
    QVERIFY(place != 0); // the program saw the mouse move
    // The window lets go of its boot image, which the replay opens for writing.
    f.window->StopMachine();

    const SRunnerOutput run = RunProcess(
        TARQUIL_RUN_PATH, {"--replay", recording, "--regs", "--text", "--dump", "4096:8"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, std::string());
    const std::vector<std::string> lines = OutputLines(run.out);
    QVERIFY(lines.size() >= 5);
    QCOMPARE(lines[0], std::string("stop: replayed"));
    QCOMPARE(lines[1], "regs: " + registers);
    QCOMPARE(lines[2], "mem 4096: " + sums);
    QCOMPARE(lines[3], std::string("screen: 1 80x25"));
    QCOMPARE(lines[4], std::string("abHello, world"));
}

void QtStateTest::aSavedStateComesBackAndADamagedOneChangesNothing() {
    CWindowFixture f(kClockEchoProgram);
    f.Settle();
    QTest::keyClicks(&f.Screen(), "one");
    f.Settle();
    CStateCommands& commands = f.window->GetStateCommands();
    const std::string saved = f.directory.path + "/one.state";
    std::string problem;
    QVERIFY(commands.SaveState(saved, problem));
    const std::vector<uint8_t> memory(f.Kernel().GetMemory().GetData(),
                                      f.Kernel().GetMemory().GetData() + 0x2000);

    QTest::keyClicks(&f.Screen(), "two");
    QTRY_COMPARE(TextScreenLines(*f.Machine()->screen).at(0), std::string("onetwo"));
    f.Settle();
    QVERIFY2(commands.LoadState(saved, problem), problem.c_str());
    QCOMPARE(TextScreenLines(*f.Machine()->screen).at(0), std::string("one"));
    QVERIFY(std::equal(memory.begin(), memory.end(), f.Kernel().GetMemory().GetData()));
    // The program goes on from there.
    QTest::keyClicks(&f.Screen(), "!");
    QTRY_COMPARE(TextScreenLines(*f.Machine()->screen).at(0), std::string("one!"));
    f.Settle();

    // The payload's checksum no longer matches.
    std::string bytes = testhelpers::ReadBytes(saved);
    bytes[21] = static_cast<char>(bytes[21] ^ 0x40);
    const std::string damaged = f.directory.path + "/damaged.state";
    testhelpers::WriteBytes(damaged, bytes);
    QVERIFY(!commands.LoadState(damaged, problem));
    QVERIFY2(problem.find("damaged") != std::string::npos, problem.c_str());
    QCOMPARE(TextScreenLines(*f.Machine()->screen).at(0), std::string("one!"));
}

void QtStateTest::quickSlotKeysSaveWithoutReachingTheProgram() {
    CWindowFixture f(qttest::kEventSinkProgram);
    f.Settle();
    const std::string slot = f.window->GetStateCommands().QuickSlotPath(2);
    QTest::keyClick(f.window.get(), Qt::Key_F6, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(!testhelpers::ReadBytes(slot).empty());
    // The program saw nothing of the key; loading the slot back works the same way.
    QTest::keyClick(f.window.get(), Qt::Key_F6, Qt::ControlModifier);
    for (const CWindowFixture::SEvent& event : f.TakeEvents())
        QVERIFY(event.group != 2);
}

QTEST_MAIN(QtStateTest)
#include "QtStateTest.moc"
