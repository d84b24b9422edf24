// The window program as a desktop program: the View menu's choices (fullscreen, a fixed
// scale that sizes the window, the pixel gap) and their settings file, screenshots and
// recordings, a disk image dropped on the window or named on the command line, and the
// reset when the booted image is rebuilt.
#include "WindowFixture.h"

#include "core/DiskSlot.h"
#include "devices/Screen.h"
#include "host/qt/ViewSettings.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenuBar>
#include <QMimeData>
#include <QUrl>

#include <algorithm>
#include <cstring>

using qttest::CWindowFixture;

namespace {

// Shows an 8 x 4 white picture and waits.
const char* const kWhitePictureProgram = R"(
        MOV.16  #GROUP_SCREEN | SCREEN_SET_MODE << 8, r0
        MOV.8   #MODE_GRAPHICS, r2
        MOV.32  #8, r8
        MOV.32  #4, r12
        SYS
        MOV.16  #GROUP_SCREEN | SCREEN_SET_PIXELS << 8, r0
        MOV.32  #pixels, r4
        SYS
        MOV.16  #GROUP_SCREEN | SCREEN_REFRESH << 8, r0
        SYS
idle:   WAIT
        GETEVENT
        JMP     idle
pixels: .dword @PIXELS@
)";

// A 20 x 5 text screen (small enough for every scale to fit on the test's display); events
// stay queued for the test.
const char* const kSmallTextProgram = R"(
        MOV.16  #GROUP_SCREEN | SCREEN_SET_MODE << 8, r0
        MOV.8   #MODE_TEXT, r2
        MOV.32  #20, r8
        MOV.32  #5, r12
        SYS
start:  WAIT
        JMP     start
)";

// A second program, told apart from the first by its first bytes.
const char* const kOtherProgram = "start: NOP\n WAIT\n GETEVENT\n JMP start\n";

const uint32_t kVkF11 = 0x7A;
const uint32_t kVkF12 = 0x7B;
const uint32_t kVkR = 0x52;

std::string DiskWith(const std::string& source, const std::string& trailingData = "") {
    return testhelpers::DiskImageBytes(testhelpers::BootDataArea(qttest::Assemble(source)) +
                                       trailingData);
}

// Key events of these virtual-key codes among the queued events.
int KeyEventsOf(const std::vector<CWindowFixture::SEvent>& events,
                std::initializer_list<uint32_t> keys) {
    int count = 0;
    for (const auto& event : events)
        for (uint32_t key : keys)
            count += event.group == 2 && event.kind == 1 && event.dword4 == key ? 1 : 0;
    return count;
}

QRgb PixelAt(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFFu;
}

} // namespace

class QtDesktopTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        pictures = std::make_unique<testhelpers::CTemporaryDirectory>();
        qputenv("XDG_PICTURES_DIR", QByteArray::fromStdString(pictures->path));
    }
    void cleanup() { pictures.reset(); }
    void viewChoicesScaleTheWindowAndAreRemembered();
    void largeScalesShowThePixelGapAsChosen();
    void screenshotAndRecordingLandInThePicturesFolder();
    void droppedImageResetsIntoItWhenTheUserAgrees();
    void bareImageArgumentBootsAndReloadsWhenRebuilt();

private:
    std::unique_ptr<testhelpers::CTemporaryDirectory> pictures;
};

void QtDesktopTest::viewChoicesScaleTheWindowAndAreRemembered() {
    CWindowFixture fixture(kSmallTextProgram);
    CMainWindow& window = *fixture.window;
    CScreenWidget& screen = fixture.Screen();
    int32_t cellWidth = 0, cellHeight = 0;
    QVERIFY(fixture.Machine()->screen->GetCellSize(cellWidth, cellHeight));
    const QSize natural(20 * cellWidth, 5 * cellHeight);
    QTRY_COMPARE(screen.NaturalSize(), natural);

    // A fixed scale sizes the client area; the text grid fills it, and clicks map to cells.
    window.SetScale(2);
    QTRY_COMPARE(screen.size(), natural * 2);
    QCOMPARE(screen.GrabScreen().size(), natural * 2);
    // The program leaves its events queued: the test takes them.
    fixture.TakeEvents();
    QTest::mouseClick(&screen, Qt::LeftButton, {},
                      QPoint(2 * cellWidth * 10 + 1, 2 * cellHeight * 3 + 1));
    std::vector<CWindowFixture::SEvent> clicks = fixture.TakeEvents();
    QVERIFY(!clicks.empty());
    QCOMPARE(clicks.back().group, 3);
    QCOMPARE(clicks.back().kind, 2);
    // The last event's position: column 10, row 3.
    const uint8_t* r = fixture.Kernel().GetMemory().GetRegisters();
    uint32_t x, y;
    std::memcpy(&x, r + 8, 4);
    std::memcpy(&y, r + 12, 4);
    QCOMPARE(x, 10u);
    QCOMPARE(y, 3u);

    // F11 and Alt+Enter switch fullscreen on and off, Esc does not leave it, and none of
    // these keys reaches the program.
    QTest::keyClick(&screen, Qt::Key_F11);
    QVERIFY(window.isFullScreen());
    QVERIFY(!window.menuBar()->isVisible());
    QTest::keyClick(&screen, Qt::Key_Escape);
    QVERIFY(window.isFullScreen());
    QTest::keyClick(&screen, Qt::Key_Return, Qt::AltModifier);
    QVERIFY(!window.isFullScreen());
    QCOMPARE(KeyEventsOf(fixture.TakeEvents(), {kVkF11}), 0);
    // Nor does the key of a shortcut whose modifier is let go first: Qt offers the press to
    // the screen before the shortcut takes it, and the release (X keycode 27, R) comes
    // alone, without Ctrl.
    const auto send = [&screen](QEvent::Type type, Qt::KeyboardModifiers modifiers) {
        QKeyEvent event(type, Qt::Key_R, modifiers, 27, 0, 0);
        QApplication::sendEvent(&screen, &event);
    };
    send(QEvent::ShortcutOverride, Qt::ControlModifier);
    send(QEvent::KeyRelease, Qt::NoModifier);
    QCOMPARE(KeyEventsOf(fixture.TakeEvents(), {kVkR}), 0);
    // The same key pressed on its own is the program's again.
    send(QEvent::KeyPress, Qt::NoModifier);
    send(QEvent::KeyRelease, Qt::NoModifier);
    QCOMPARE(KeyEventsOf(fixture.TakeEvents(), {kVkR}), 2);

    // The choices live in the window's own file; the user settings hold only the devices'.
    window.SetPixelGap(false);
    const SViewSettings saved = SViewSettings::Load(fixture.directory.path + "/TarquilView.ini");
    QCOMPARE(saved.scale, 2);
    QCOMPARE(saved.pixelGap, false);
    QCOMPARE(saved.fullscreen, false);
    window.Reset();
    const std::string userSettings = fixture.UserSettingsText();
    QVERIFY(userSettings.find("[Font]") != std::string::npos);
    QVERIFY2(userSettings.find("Scale") == std::string::npos, userSettings.c_str());

    // A new window starts with them.
    CMainWindow again(fixture.directory.path + "/", "-noask");
    QCOMPARE(again.GetViewSettings(), saved);
    QCOMPARE(again.GetScreenWidget().GetZoom(), 2);
    QVERIFY(again.GetAction("actionScale2")->isChecked());
    QVERIFY(!again.GetAction("actionPixelGap")->isChecked());
}

void QtDesktopTest::largeScalesShowThePixelGapAsChosen() {
    QString source = kWhitePictureProgram;
    source.replace(
        "@PIXELS@",
        "0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, "
        "0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, "
        "0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, "
        "0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF");
    CWindowFixture fixture(source.toStdString());
    CMainWindow& window = *fixture.window;
    CScreenWidget& screen = fixture.Screen();
    fixture.Settle();
    QCOMPARE(screen.NaturalSize(), QSize(8, 4));

    // Fit: the program sees the Part's scale and gap, or one scale more without the gap.
    int32_t scale = 0, gap = 0;
    fixture.Machine()->screen->GetPixelScale(scale, gap);
    QCOMPARE(gap, 1);
    const int pitch = scale + gap;
    window.SetPixelGap(false);
    fixture.Machine()->screen->GetPixelScale(scale, gap);
    QCOMPARE(scale, pitch);
    QCOMPARE(gap, 0);

    // A fixed scale of 5: blocks of 5 window pixels, the last line black with the gap.
    window.SetScale(5);
    QTRY_COMPARE(screen.size(), QSize(40, 20));
    QImage shot = screen.GrabScreen();
    QCOMPARE(shot.size(), QSize(40, 20));
    QCOMPARE(PixelAt(shot, 4, 2), 0xFFFFFFu);
    window.SetPixelGap(true);
    shot = screen.GrabScreen();
    QCOMPARE(PixelAt(shot, 3, 2), 0xFFFFFFu);
    QCOMPARE(PixelAt(shot, 4, 2), 0x000000u);
    QCOMPARE(PixelAt(shot, 5, 2), 0xFFFFFFu);
    QCOMPARE(PixelAt(shot, 2, 4), 0x000000u);
    // The program still draws at one pixel per machine pixel; the window enlarges it.
    fixture.Machine()->screen->GetPixelScale(scale, gap);
    QCOMPARE(scale, 1);
    QCOMPARE(gap, 0);
    // Scale 4 has no gap.
    window.SetScale(4);
    QTRY_COMPARE(screen.size(), QSize(32, 16));
    shot = screen.GrabScreen();
    QCOMPARE(PixelAt(shot, 3, 3), 0xFFFFFFu);
}

void QtDesktopTest::screenshotAndRecordingLandInThePicturesFolder() {
    CWindowFixture fixture(qttest::kEventSinkProgram);
    CMainWindow& window = *fixture.window;
    CScreenWidget& screen = fixture.Screen();
    window.SetScale(1);
    fixture.TakeEvents();

    QTest::keyClick(&screen, Qt::Key_F12);
    const QDir folder(QString::fromStdString(pictures->path) + "/Tarquil");
    const QStringList shots = folder.entryList({"Tarquil-*.png"});
    QCOMPARE(shots.size(), 1);
    const QString path = folder.filePath(shots.first());
    QVERIFY2(window.GetStatusMessage().contains(path), qPrintable(window.GetStatusMessage()));
    const QImage saved(path);
    QCOMPARE(saved.size(), screen.NaturalSize());
    QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), screen.GrabScreen());
    // A second one the same second gets a name of its own.
    QVERIFY(!window.SaveScreenshot().isEmpty());
    QCOMPARE(folder.entryList({"Tarquil-*.png"}).size(), 2);

    // Shift+F12 starts and stops an animated GIF of the screen.
    QTest::keyClick(&screen, Qt::Key_F12, Qt::ShiftModifier);
    QVERIFY(window.IsRecording());
    QTest::qWait(350);
    QTest::keyClick(&screen, Qt::Key_F12, Qt::ShiftModifier);
    QVERIFY(!window.IsRecording());
    const QStringList recordings = folder.entryList({"Tarquil-*.gif"});
    QCOMPARE(recordings.size(), 1);
    QVERIFY(window.GetStatusMessage().contains(recordings.first()));
    const std::string gif =
        testhelpers::ReadBytes(folder.filePath(recordings.first()).toStdString());
    QVERIFY(gif.size() > 13);
    QCOMPARE(gif.substr(0, 6), std::string("GIF89a"));
    const int width = static_cast<uint8_t>(gif[6]) | static_cast<uint8_t>(gif[7]) << 8;
    const int height = static_cast<uint8_t>(gif[8]) | static_cast<uint8_t>(gif[9]) << 8;
    QCOMPARE(QSize(width, height), screen.NaturalSize());
    QCOMPARE(static_cast<uint8_t>(gif.back()), uint8_t{0x3B}); // the trailer: a whole file
    QCOMPARE(KeyEventsOf(fixture.TakeEvents(), {kVkF12}), 0);
}

void QtDesktopTest::droppedImageResetsIntoItWhenTheUserAgrees() {
    CWindowFixture fixture(qttest::kEventSinkProgram);
    CMainWindow& window = *fixture.window;
    const std::string other = fixture.directory.path + "/other.disk";
    QVERIFY(testhelpers::WriteBytes(other, DiskWith(kOtherProgram)));
    QCOMPARE(fixture.Kernel().GetBootedSlot(), 0);

    QStringList questions;
    bool answer = false;
    window.SetResetQuestion([&](const QString& question) {
        questions << question;
        return answer;
    });
    auto drop = [&] {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(other))});
        const QPoint centre = window.rect().center();
        QDragEnterEvent enter(centre, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(&window, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent dropped(centre, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(&window, &dropped);
    };

    drop();
    QTRY_COMPARE(questions.size(), 1);
    QVERIFY(questions.first().contains("other.disk"));
    QCOMPARE(fixture.Kernel().GetBootedSlot(), 0);

    answer = true;
    drop();
    QTRY_COMPARE(questions.size(), 2);
    QTRY_COMPARE(fixture.Kernel().GetBootedSlot(), 1);
    QCOMPARE(fixture.Machine()->disks[1]->GetFileName(), other);
    QCOMPARE(fixture.Kernel().GetMemory().GetData()[0],
             static_cast<uint8_t>(qttest::Assemble(kOtherProgram)[0]));
}

void QtDesktopTest::bareImageArgumentBootsAndReloadsWhenRebuilt() {
    CWindowFixture fixture(qttest::kEventSinkProgram);
    const std::string other = fixture.directory.path + "/other.disk";
    QVERIFY(testhelpers::WriteBytes(other, DiskWith(kOtherProgram)));
    // One machine at a time holds the images.
    fixture.window.reset();

    // As `tarquil -disk 0 boot.disk other.disk` starts: slot 0 keeps its option, the image
    // goes into the first free slot and the machine boots from it.
    CMainWindow window(fixture.directory.path + "/",
                       "-noask -disk 0 \"" + fixture.directory.path + "/boot.disk\"");
    window.SetOpenedImages({other});
    window.StartMachine();
    window.show();
    CMachine* machine = window.GetMachine();
    QVERIFY(machine && machine->kernel);
    QCOMPARE(machine->kernel->GetBootedSlot(), 1);
    QCOMPARE(machine->disks[1]->GetFileName(), other);

    // Reload: rewriting the data behind the boot image (as the program itself does) leaves
    // the machine alone; a rebuilt boot image resets it.
    window.SetReloadOnChange(true);
    QCOMPARE(window.GetWatchedImage(), QFileInfo(QString::fromStdString(other)).absoluteFilePath());
    const uint32_t marker = 60000;
    window.GetMachine()->kernel->GetMemory().GetData()[marker] = 0xA5;
    QVERIFY(testhelpers::WriteBytes(other, DiskWith(kOtherProgram, "data written later")));
    QTest::qWait(1000);
    QCOMPARE(window.GetMachine()->kernel->GetMemory().GetData()[marker], uint8_t{0xA5});

    const char* const rebuilt = "start: NOP\n NOP\n NOP\n WAIT\n GETEVENT\n JMP start\n";
    QVERIFY(testhelpers::WriteBytes(other, DiskWith(rebuilt)));
    QTRY_VERIFY_WITH_TIMEOUT(window.GetMachine() &&
                                 window.GetMachine()->kernel->GetMemory().GetData()[marker] == 0,
                             5000);
    QCOMPARE(window.GetMachine()->kernel->GetBootedSlot(), 1);
    const std::vector<uint8_t> expected = qttest::Assemble(rebuilt);
    QVERIFY(std::equal(expected.begin(), expected.end(),
                       window.GetMachine()->kernel->GetMemory().GetData()));
    QVERIFY(window.GetStatusMessage().contains("other.disk"));
    // Still watched after the reset.
    QCOMPARE(window.GetWatchedImage(), QFileInfo(QString::fromStdString(other)).absoluteFilePath());
}

QTEST_MAIN(QtDesktopTest)
#include "QtDesktopTest.moc"
