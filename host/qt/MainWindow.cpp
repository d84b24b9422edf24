#include "host/qt/MainWindow.h"

#include "core/Kernel.h"
#include "core/Machine.h"
#include "devices/Mouse.h"
#include "devices/Screen.h"
#include "host/CommandLine.h"
#include "host/qt/QtText.h"
#include "host/qt/ScreenWidget.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QStyleHints>
#include <QTimer>

#include <algorithm>

namespace {

// The window's icon: a small screen with a line of text on it.
QIcon MakeIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(60, 60, 70));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(1, 3, 30, 22, 3, 3);
    painter.fillRect(4, 6, 24, 16, Qt::black);
    painter.fillRect(6, 9, 12, 3, QColor(80, 220, 80));
    painter.fillRect(6, 14, 18, 3, QColor(80, 220, 80));
    painter.fillRect(12, 25, 8, 3, QColor(60, 60, 70));
    painter.fillRect(8, 28, 16, 2, QColor(60, 60, 70));
    return QIcon(pixmap);
}

// What the window fits to: mode, width, height and, in text mode, the cell.
std::array<int32_t, 5> ScreenShape(const CScreen& screen) {
    std::array<int32_t, 5> shape{};
    screen.GetMode(shape[0], shape[1], shape[2]);
    if (!screen.GetCellSize(shape[3], shape[4]))
        shape[3] = shape[4] = 0;
    return shape;
}

// The client size that shows the whole screen, and the smallest one that does not cut it:
// the text grid, or the picture at the enlargement the client area gives now (at least one
// window pixel per pixel, and at least one per pixel for the smallest).
bool ScreenContentSize(const CScreen& screen, const QSize& client, QSize& wanted, QSize& minimum) {
    const std::array<int32_t, 5> shape = ScreenShape(screen);
    const int width = shape[1], height = shape[2];
    if (shape[0] == kScreenText && shape[3] > 0 && shape[4] > 0) {
        wanted = minimum = QSize(width * shape[3], height * shape[4]);
        return true;
    }
    if (shape[0] == kScreenGraphics && width > 0 && height > 0) {
        const int fit = std::max(1, std::min(client.width() / width, client.height() / height));
        // Scale and gap together, as the screen lays the picture out.
        const int pitch = std::min(fit, 9);
        wanted = QSize(width * pitch, height * pitch);
        minimum = QSize(width, height);
        return true;
    }
    return false;
}

} // namespace

CMainWindow::CMainWindow(const std::string& settingsDirectory, const std::string& commandLine)
    : timers([this](uint32_t id) { PostTimer(id); }),
      runner([this](const std::string& message) { SetStatusTitle(message); }),
      askOnExit(!HasNoAskOption(commandLine)) {
    setWindowTitle(kTitle);
    setWindowIcon(MakeIcon());
    screenWidget = new CScreenWidget([this] { return GetMachine(); }, platform, runner, this);
    setCentralWidget(screenWidget);
    BuildMenus();
    // The client area of an 80 x 25 screen in the default font.
    screenWidget->resize(screenWidget->sizeHint());
    resize(screenWidget->sizeHint().width(),
           screenWidget->sizeHint().height() + menuBar()->sizeHint().height());
    screenWidget->setFocus();
    // A program that changes the screen's mode gets a window that shows all of it.
    runner.SetTurnObserver([this] { FollowScreenShape(); });

    // The desktop's wheel setting changed: the mouse scrolls by the new number of lines.
    connect(QGuiApplication::styleHints(), &QStyleHints::wheelScrollLinesChanged, this, [this] {
        CMachine* machine = GetMachine();
        if (machine && machine->mouse)
            machine->mouse->ReadWheelLines();
    });

    SMachineEnvironment environment;
    environment.platform = &platform;
    environment.screenSurface = &screenWidget->GetSurface();
    environment.settingsDirectory = settingsDirectory;
    environment.commandLine = commandLine;
    host = std::make_unique<CMachineHost>(std::move(environment));
}

CMainWindow::~CMainWindow() {
    StopMachine();
}

CQtScreenSurface& CMainWindow::GetSurface() {
    return screenWidget->GetSurface();
}

CMachine* CMainWindow::GetMachine() {
    return host ? host->GetMachine() : nullptr;
}

void CMainWindow::BuildMenus() {
    auto addAction = [this](QMenu* menu, const char* text, const char* name, auto slot) {
        QAction* action = menu->addAction(text);
        action->setObjectName(name);
        // The menu session is over before the command opens a dialog of its own.
        connect(action, &QAction::triggered, this, [this, slot] {
            EndMenuSession();
            (this->*slot)();
        });
        return action;
    };
    QMenu* file = menuBar()->addMenu("&File");
    addAction(file, "&Reset", "actionReset", &CMainWindow::Reset);
    file->addSeparator();
    addAction(file, "E&xit", "actionExit", &CMainWindow::Exit);
    QMenu* settings = menuBar()->addMenu("&Settings");
    addAction(settings, "&Font...", "actionFont", &CMainWindow::ChooseFont);
    addAction(settings, "&Disks...", "actionDisks", &CMainWindow::ShowDisks);
    QMenu* help = menuBar()->addMenu("&Help");
    addAction(help, "&About...", "actionAbout", &CMainWindow::ShowAbout);
    for (QMenu* menu : {file, settings, help})
        WatchModalMenu(menu);
}

// An open menu keeps the user busy with the window: the program hears of it as it would of
// a dialog, once per menu session.
void CMainWindow::WatchModalMenu(QMenu* menu) {
    connect(menu, &QMenu::aboutToShow, this, &CMainWindow::BeginMenuSession);
    // Sliding to the next menu of the bar hides this one first: look again once the next
    // one had its chance to open.
    connect(menu, &QMenu::aboutToHide, this, [this] {
        QTimer::singleShot(0, this, [this] {
            if (!QApplication::activePopupWidget())
                EndMenuSession();
        });
    });
}

void CMainWindow::BeginMenuSession() {
    if (inMenuSession)
        return;
    inMenuSession = true;
    NotifyActivity(0);
}

void CMainWindow::EndMenuSession() {
    if (!inMenuSession)
        return;
    inMenuSession = false;
    NotifyActivity(1);
}

QAction* CMainWindow::GetAction(const char* objectName) const {
    return findChild<QAction*>(objectName);
}

void CMainWindow::StartMachine() {
    host->GetEnvironment().startMinimized = isMinimized();
    host->StartMachine();
    CMachine* machine = GetMachine();
    runner.SetKernel(machine ? machine->kernel : nullptr);
    GetSurface().RequestFullPaint();
    screenWidget->update();
    FollowScreenShape();
}

void CMainWindow::StopMachine() {
    runner.SetKernel(nullptr);
    // The timers belonged to the program that started them; the next machine starts fresh.
    timers.StopAll();
    if (host)
        host->StopMachine();
    GetSurface().RequestFullPaint();
    screenWidget->update();
}

void CMainWindow::SetStatusTitle(const std::string& message) {
    if (message.empty())
        setWindowTitle(kTitle);
    else
        setWindowTitle(QString(kTitle) + " [" + MachineToQString(message) + "]");
}

bool CMainWindow::ConfirmExit() {
    if (!askOnExit)
        return true;
    return QMessageBox::warning(this, kTitle, "Do you really want to exit ?",
                                QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::Yes) == QMessageBox::Yes;
}

void CMainWindow::NotifyActivity(uint32_t flag) {
    if (flag == 0)
        runner.Hold();
    else
        runner.Release();
    CMachine* machine = GetMachine();
    if (!machine || !machine->kernel)
        return;
    machine->kernel->PostActivityEvent(flag);
    runner.Wake();
}

void CMainWindow::PostTimer(uint32_t id) {
    CMachine* machine = GetMachine();
    if (!machine || !machine->kernel)
        return;
    machine->kernel->PostTimerEvent(id);
    runner.Wake();
}

void CMainWindow::FollowScreenShape() {
    CMachine* machine = GetMachine();
    if (machine && machine->screen && ScreenShape(*machine->screen) != fittedShape)
        FitWindowToScreen();
}

void CMainWindow::FitWindowToScreen() {
    CMachine* machine = GetMachine();
    if (!machine || !machine->screen)
        return;
    fittedShape = ScreenShape(*machine->screen);
    QSize wanted, minimum;
    if (!ScreenContentSize(*machine->screen, screenWidget->size(), wanted, minimum))
        return;
    // Menu bar and whatever else surrounds the screen, as the layout places it now.
    if (layout())
        layout()->activate();
    const QSize chrome = size() - screenWidget->size();
    const QSize frame = frameGeometry().size() - geometry().size();
    const QSize room = screen()->availableGeometry().size() - frame - chrome;
    screenWidget->setMinimumSize(minimum.boundedTo(room));
    // The window's own minimum follows the new one before the window may shrink to it.
    if (layout())
        layout()->activate();
    if (isMaximized() || isFullScreen())
        return;
    resize(wanted.boundedTo(room) + chrome);
}

void CMainWindow::Reset() {
    StopMachine();
    SetStatusTitle("");
    StartMachine();
}

void CMainWindow::Exit() {
    close();
}

void CMainWindow::ChooseFont() {
    CMachine* machine = GetMachine();
    if (!machine || !machine->screen)
        return;
    NotifyActivity(0);
    machine->screen->ChooseScreenFont();
    FitWindowToScreen();
    NotifyActivity(1);
}

void CMainWindow::ShowDisks() {
    CMachine* machine = GetMachine();
    if (!machine)
        return;
    NotifyActivity(0);
    {
        CDisksDialog dialog(machine->disks.data(), machine->diskCount, this);
        if (diskFilePicker)
            dialog.SetFilePicker(diskFilePicker);
        dialog.exec();
    }
    NotifyActivity(1);
}

QString CMainWindow::AboutText() {
    return QString("Tarquil 1.3\n\n"
                   "An emulator of the Tarquil computer: its processor, text and graphics "
                   "screen, keyboard, mouse, MIDI sound and disks.\n"
                   "Built with Qt %1.")
        .arg(qVersion());
}

void CMainWindow::ShowAbout() {
    NotifyActivity(0);
    QMessageBox::information(this, kTitle, AboutText(), QMessageBox::Ok);
    NotifyActivity(1);
}

void CMainWindow::closeEvent(QCloseEvent* event) {
    NotifyActivity(0);
    const bool allowed = ConfirmExit();
    NotifyActivity(1);
    if (!allowed) {
        event->ignore();
        return;
    }
    StopMachine();
    event->accept();
}

void CMainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    // Minimizing and restoring are size changes to the program.
    CMachine* machine = GetMachine();
    if (machine && machine->screen) {
        machine->screen->SetMinimized(isMinimized());
        machine->screen->NotifyResize();
        runner.Wake();
    }
}
