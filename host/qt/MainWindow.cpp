#include "host/qt/MainWindow.h"

#include "core/DiskSlot.h"
#include "core/Kernel.h"
#include "core/Machine.h"
#include "devices/Mouse.h"
#include "devices/Screen.h"
#include "host/CommandLine.h"
#include "host/OpenedImages.h"
#include "host/qt/DebuggerWindow.h"
#include "host/qt/QtText.h"
#include "host/qt/ScreenWidget.h"
#include "support/ErrorStack.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QStandardPaths>
#include <QStyleHints>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cstring>

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
// window pixel per pixel, and at least one per pixel for the smallest). A fixed scale
// (`zoom` above 1) makes both the screen's own size times the scale.
bool ScreenContentSize(const CScreen& screen, const QSize& client, int zoom, QSize& wanted,
                       QSize& minimum) {
    const std::array<int32_t, 5> shape = ScreenShape(screen);
    const int width = shape[1], height = shape[2];
    if (shape[0] == kScreenText && shape[3] > 0 && shape[4] > 0) {
        wanted = minimum = QSize(width * shape[3], height * shape[4]) * zoom;
        return true;
    }
    if (shape[0] == kScreenGraphics && width > 0 && height > 0 && zoom > 1) {
        wanted = minimum = QSize(width, height) * zoom;
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

// How long a status message stays on the screen.
constexpr int kStatusMilliseconds = 4000;
// How long the window waits after the booted image changed before it compares it: a writer
// may still be at work.
constexpr int kReloadDelayMilliseconds = 300;
constexpr int kReloadRetries = 10;

// The header and the boot image of a disk image file: what a rebuilt disk changes. The
// data behind it is the program's own and changes while it runs.
QByteArray BootImageBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = file.read(20);
    if (head.size() < 20)
        return head;
    int32_t length = 0;
    std::memcpy(&length, head.constData() + 16, 4);
    const qint64 rest = file.size() - 20;
    const qint64 bootLength = length < 0 ? rest : std::min<qint64>(length, rest);
    return head + file.read(bootLength);
}

// A file name for a new picture that no file has yet: Tarquil-20261209-201530.png.
QString NewPictureName(const QString& directory, const QString& extension) {
    const QString stamp = QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
    QString path = directory + "/Tarquil-" + stamp + extension;
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = directory + "/Tarquil-" + stamp + "-" + QString::number(n) + extension;
    return path;
}

} // namespace

CMainWindow::CMainWindow(const std::string& settingsDirectory, const std::string& commandLine)
    : timers([this](uint32_t id) { PostTimer(id); }), runner([this](const std::string& message) {
          SetStatusTitle(message);
          debuggerWindow->LogMessage(message);
      }),
      askOnExit(!HasNoAskOption(commandLine)),
      viewSettingsPath(settingsDirectory + SViewSettings::kFileName),
      view(SViewSettings::Load(viewSettingsPath)),
      recorder([this] { return screenWidget->GrabScreen(); }) {
    setWindowTitle(kTitle);
    setAcceptDrops(true);
    // The installed icon when the desktop has it, else the same picture drawn here.
    setWindowIcon(QIcon::fromTheme("tarquil", MakeIcon()));
    screenWidget = new CScreenWidget([this] { return GetMachine(); }, platform, runner, this);
    setCentralWidget(screenWidget);
    runner.SetResumeObserver([this] { gate.NoteResume(); });
    stateCommands =
        new CStateCommands(this, gate, settingsDirectory,
                           {[this] { return GetMachine(); }, [this] { return runner.IsWaiting(); },
                            [this] {
                                GetSurface().RequestFullPaint();
                                screenWidget->update();
                                runner.Wake();
                            },
                            [this](const std::function<void()>& dialog) {
                                EndMenuSession();
                                WhileHeld(dialog);
                            }});
    recordPath = GetRecordOption(commandLine);
    BuildMenus();
    // Made after the menus: its keys are its own, the main window hands them to the program.
    debuggerWindow =
        new CDebuggerWindow([this] { runner.Wake(); }, [this] { ShowDebugger(); }, this);
    debuggerWindow->SetHostGate(&gate);
    runner.SetSliceRunner(
        [this](std::string& message) { return debuggerWindow->RunSlice(message); });
    // The client area of an 80 x 25 screen in the default font.
    screenWidget->resize(screenWidget->sizeHint());
    resize(screenWidget->sizeHint().width(),
           screenWidget->sizeHint().height() + menuBar()->sizeHint().height());
    screenWidget->setFocus();
    // A program that changes the screen's mode gets a window that shows all of it.
    runner.SetTurnObserver([this] {
        FollowScreenShape();
        debuggerWindow->AfterTurn();
    });
    screenWidget->SetPixelGap(view.pixelGap);
    screenWidget->SetZoom(std::max(1, view.scale));

    statusLabel = new QLabel(this);
    statusLabel->setObjectName("statusMessage");
    statusLabel->setStyleSheet("QLabel { background: rgba(0, 0, 0, 190); color: white; "
                               "padding: 4px 8px; border-radius: 3px; }");
    statusLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    statusLabel->hide();
    statusTimer.setSingleShot(true);
    connect(&statusTimer, &QTimer::timeout, statusLabel, &QLabel::hide);

    reloadTimer.setSingleShot(true);
    connect(&watcher, &QFileSystemWatcher::fileChanged, this, [this] {
        reloadRetries = 0;
        reloadTimer.start(kReloadDelayMilliseconds);
    });
    connect(&reloadTimer, &QTimer::timeout, this, &CMainWindow::CheckWatchedImage);
    // A recording still running when the program ends (Exit, a signal) is finished whole.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { recorder.Stop(); });

    // The desktop's wheel setting changed: the mouse scrolls by the new number of lines.
    connect(QGuiApplication::styleHints(), &QStyleHints::wheelScrollLinesChanged, this, [this] {
        CMachine* machine = GetMachine();
        if (machine && machine->mouse)
            machine->mouse->ReadWheelLines();
    });

    SMachineEnvironment environment;
    environment.platform = &gate;
    environment.screenSurface = &screenWidget->GetSurface();
    environment.settingsDirectory = settingsDirectory;
    environment.commandLine = commandLine;
    host = std::make_unique<CMachineHost>(std::move(environment));
}

CMainWindow::~CMainWindow() {
    StopMachine();
}

void CMainWindow::SetMidiOutput(MidiOutputFactory factory) {
    host->GetEnvironment().midiOutput = std::move(factory);
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
    addAction(file, "&Reset", "actionReset", &CMainWindow::Reset)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    file->addSeparator();
    stateCommands->AddActions(file);
    file->addSeparator();
    addAction(file, "E&xit", "actionExit", &CMainWindow::Exit);
    QMenu* settings = menuBar()->addMenu("&Settings");
    addAction(settings, "&Font...", "actionFont", &CMainWindow::ChooseFont);
    addAction(settings, "&Disks...", "actionDisks", &CMainWindow::ShowDisks);
    QMenu* help = menuBar()->addMenu("&Help");
    addAction(help, "&About...", "actionAbout", &CMainWindow::ShowAbout);
    for (QMenu* menu : {file, settings, help})
        WatchModalMenu(menu);
    BuildViewMenu();
    QMenu* debug = menuBar()->addMenu("&Debug");
    addAction(debug, "&Debugger", "actionDebugger", &CMainWindow::ShowDebugger);
    addAction(debug, "Load &Symbols...", "actionLoadSymbols", &CMainWindow::LoadSymbols);
    WatchModalMenu(debug);
    // The window keeps its keys while the menu bar is hidden (fullscreen), and the program
    // hears of them neither pressed nor released.
    const QList<QAction*> all = findChildren<QAction*>();
    addActions(all);
    QList<QKeyCombination> keys;
    for (const QAction* action : all)
        for (const QKeySequence& sequence : action->shortcuts())
            if (!sequence.isEmpty())
                keys << sequence[0];
    screenWidget->SetWindowKeys(keys);
}

void CMainWindow::BuildViewMenu() {
    QMenu* menu = menuBar()->addMenu("&View");
    WatchModalMenu(menu);
    QAction* fullscreen = menu->addAction("&Fullscreen");
    fullscreen->setObjectName("actionFullscreen");
    fullscreen->setCheckable(true);
    fullscreen->setShortcuts({QKeySequence(Qt::Key_F11), QKeySequence(Qt::ALT | Qt::Key_Return),
                              QKeySequence(Qt::ALT | Qt::Key_Enter)});
    connect(fullscreen, &QAction::triggered, this, &CMainWindow::SetFullscreen);

    QMenu* scaleMenu = menu->addMenu("&Scale");
    auto* scales = new QActionGroup(this);
    for (int scale = 0; scale <= SViewSettings::kMaxScale; ++scale) {
        QAction* action = scaleMenu->addAction(scale == 0 ? QString("&Fit to Window")
                                                          : QString("&%1x").arg(scale));
        action->setObjectName(QString("actionScale%1").arg(scale));
        action->setCheckable(true);
        action->setChecked(scale == view.scale);
        action->setActionGroup(scales);
        connect(action, &QAction::triggered, this, [this, scale] { SetScale(scale); });
    }
    QAction* gap = menu->addAction("Pixel &Gap");
    gap->setObjectName("actionPixelGap");
    gap->setCheckable(true);
    gap->setChecked(view.pixelGap);
    connect(gap, &QAction::triggered, this, &CMainWindow::SetPixelGap);
    menu->addSeparator();

    QAction* screenshot = menu->addAction("Save Screens&hot");
    screenshot->setObjectName("actionScreenshot");
    screenshot->setShortcut(QKeySequence(Qt::Key_F12));
    connect(screenshot, &QAction::triggered, this, [this] { SaveScreenshot(); });
    QAction* record = menu->addAction("&Record Animation");
    record->setObjectName("actionRecord");
    record->setCheckable(true);
    record->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F12));
    connect(record, &QAction::triggered, this, &CMainWindow::ToggleRecording);
    menu->addSeparator();

    QAction* reload = menu->addAction("Reload &When the Disk Changes");
    reload->setObjectName("actionReload");
    reload->setCheckable(true);
    reload->setChecked(view.reloadOnChange);
    connect(reload, &QAction::triggered, this, &CMainWindow::SetReloadOnChange);
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
    NotifyActivity(EActivity::Held);
}

void CMainWindow::EndMenuSession() {
    if (!inMenuSession)
        return;
    inMenuSession = false;
    NotifyActivity(EActivity::Active);
}

QAction* CMainWindow::GetAction(const char* objectName) const {
    return findChild<QAction*>(objectName);
}

void CMainWindow::StartMachine() {
    host->GetEnvironment().startMinimized = isMinimized();
    host->GetEnvironment().beforeBoot = [this](CMachine& machine) {
        OpenImagesForBoot(machine, openedImages);
    };
    host->StartMachine();
    CMachine* machine = GetMachine();
    std::string image;
    if (machine && machine->kernel) {
        const int32_t slot = machine->kernel->GetBootSlot();
        if (slot >= 0 && slot < machine->diskCount && machine->disks[slot])
            image = machine->disks[slot]->GetFileName();
    }
    debuggerWindow->AttachKernel(machine ? machine->kernel : nullptr, image);
    runner.SetKernel(machine ? machine->kernel : nullptr);
    screenWidget->ApplyScaling();
    gate.SetKernel(machine ? machine->kernel : nullptr);
    // -record records the first machine only: the recording ends with it.
    std::string problem;
    if (machine && !recordPath.empty() && !stateCommands->StartRecording(recordPath, problem))
        qm::ShowErrorText(problem + "\n");
    recordPath.clear();
    GetSurface().RequestFullPaint();
    screenWidget->update();
    FollowScreenShape();
    WatchBootImage();
}

void CMainWindow::StopMachine() {
    // A recording ends with its machine.
    std::string problem;
    if (!stateCommands->StopRecording(problem))
        qm::ShowErrorText(problem + "\n");
    gate.SetKernel(nullptr);
    runner.SetKernel(nullptr);
    debuggerWindow->AttachKernel(nullptr, {});
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

void CMainWindow::NotifyActivity(EActivity activity) {
    if (activity == EActivity::Held)
        runner.Hold();
    else
        runner.Release();
    CMachine* machine = GetMachine();
    if (!machine || !machine->kernel)
        return;
    machine->kernel->PostActivityEvent(activity);
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
    if (!ScreenContentSize(*machine->screen, screenWidget->size(), screenWidget->GetZoom(), wanted,
                           minimum))
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
    WhileHeld([&] {
        machine->screen->ChooseScreenFont();
        FitWindowToScreen();
    });
}

void CMainWindow::ShowDisks() {
    CMachine* machine = GetMachine();
    if (!machine)
        return;
    WhileHeld([&] {
        CDisksDialog dialog(machine->disks.data(), machine->diskCount, this);
        if (diskFilePicker)
            dialog.SetFilePicker(diskFilePicker);
        dialog.exec();
    });
}

QString CMainWindow::AboutText() {
    return QString("Tarquil 1.3\n\n"
                   "An emulator of the Tarquil computer: its processor, text and graphics "
                   "screen, keyboard, mouse, MIDI sound and disks.\n"
                   "Built with Qt %1.")
        .arg(qVersion());
}

void CMainWindow::ShowAbout() {
    WhileHeld([&] { QMessageBox::information(this, kTitle, AboutText(), QMessageBox::Ok); });
}

// The debugger opens beside the screen, on the side where the desktop has room.
void CMainWindow::ShowDebugger() {
    if (!debuggerWindow->isVisible()) {
        const QRect free = screen()->availableGeometry();
        const QRect frame = frameGeometry();
        int x = frame.right() + 1;
        if (x + debuggerWindow->width() > free.right())
            x = std::max(free.left(), frame.left() - debuggerWindow->width());
        debuggerWindow->move(x, frame.top());
    }
    debuggerWindow->show();
    debuggerWindow->raise();
    debuggerWindow->activateWindow();
}

void CMainWindow::LoadSymbols() {
    WhileHeld([&] { debuggerWindow->ChooseSymbols(); });
}

void CMainWindow::closeEvent(QCloseEvent* event) {
    const bool allowed = WhileHeld([&] { return ConfirmExit(); });
    if (!allowed) {
        event->ignore();
        return;
    }
    StopMachine();
    event->accept();
}

void CMainWindow::ShowAsRemembered() {
    if (view.fullscreen)
        SetFullscreen(true);
    else
        show();
}

void CMainWindow::SaveViewSettings() {
    view.Save(viewSettingsPath);
}

void CMainWindow::SetFullscreen(bool on) {
    view.fullscreen = on;
    SaveViewSettings();
    GetAction("actionFullscreen")->setChecked(on);
    menuBar()->setVisible(!on);
    if (on) {
        showFullScreen();
    } else {
        showNormal();
        FitWindowToScreen();
    }
    screenWidget->setFocus();
}

void CMainWindow::SetScale(int scale) {
    view.scale = std::clamp(scale, 0, SViewSettings::kMaxScale);
    SaveViewSettings();
    GetAction(QString("actionScale%1").arg(view.scale).toLatin1().constData())->setChecked(true);
    screenWidget->SetZoom(std::max(1, view.scale));
    FitWindowToScreen();
}

void CMainWindow::SetPixelGap(bool on) {
    view.pixelGap = on;
    SaveViewSettings();
    GetAction("actionPixelGap")->setChecked(on);
    screenWidget->SetPixelGap(on);
}

void CMainWindow::SetReloadOnChange(bool on) {
    view.reloadOnChange = on;
    SaveViewSettings();
    GetAction("actionReload")->setChecked(on);
    WatchBootImage();
}

void CMainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (statusLabel->isVisible())
        ShowStatus(statusLabel->text());
}

void CMainWindow::ShowStatus(const QString& message) {
    statusLabel->setText(message);
    statusLabel->adjustSize();
    const QRect area = centralWidget()->geometry();
    statusLabel->move(area.left() + 8, area.bottom() - statusLabel->height() - 8);
    statusLabel->show();
    statusLabel->raise();
    statusTimer.start(kStatusMilliseconds);
}

QString CMainWindow::GetStatusMessage() const {
    return statusLabel->text();
}

QString CMainWindow::ScreenshotDirectory() {
    QString base = qEnvironmentVariable("XDG_PICTURES_DIR");
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        base = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
        if (base.isEmpty() || !QFileInfo(base).isDir())
            base = QDir::homePath();
    }
    return QDir(base).filePath("Tarquil");
}

QString CMainWindow::SaveScreenshot() {
    const QString directory = ScreenshotDirectory();
    const QImage shot = screenWidget->GrabScreen();
    const QString path = NewPictureName(directory, ".png");
    if (shot.isNull() || !QDir().mkpath(directory) || !shot.save(path, "PNG")) {
        ShowStatus("Cannot save the screenshot in " + directory);
        return {};
    }
    ShowStatus("Screenshot saved: " + path);
    return path;
}

void CMainWindow::ToggleRecording() {
    QAction* action = GetAction("actionRecord");
    if (recorder.IsRecording()) {
        const bool saved = recorder.Stop();
        ShowStatus(saved ? "Recording saved: " + recorder.property("path").toString()
                         : "Cannot write the recording " + recorder.property("path").toString());
        action->setChecked(false);
        return;
    }
    const QString directory = ScreenshotDirectory();
    const QString path = NewPictureName(directory, ".gif");
    if (!QDir().mkpath(directory) || !recorder.Start(path.toStdString())) {
        ShowStatus("Cannot start a recording in " + directory);
        action->setChecked(false);
        return;
    }
    recorder.setProperty("path", path);
    action->setChecked(true);
    ShowStatus("Recording to " + path + " (Shift+F12 stops)");
}

void CMainWindow::WatchBootImage() {
    if (!watcher.files().isEmpty())
        watcher.removePaths(watcher.files());
    watchedImage.clear();
    watchedBootImage.clear();
    CMachine* machine = GetMachine();
    if (!view.reloadOnChange || !machine || !machine->kernel)
        return;
    const int32_t slot = machine->kernel->GetBootedSlot();
    if (slot < 0 || slot >= machine->diskCount || !machine->disks[static_cast<size_t>(slot)])
        return;
    watchedImage =
        QFileInfo(QString::fromStdString(machine->disks[static_cast<size_t>(slot)]->GetFileName()))
            .absoluteFilePath();
    watchedBootImage = BootImageBytes(watchedImage);
    watcher.addPath(watchedImage);
}

// A writer that replaces the file (a new file renamed over the old one) ends the watch: the
// path is watched again, and a file that is missing for a moment is waited for.
void CMainWindow::CheckWatchedImage() {
    if (watchedImage.isEmpty())
        return;
    if (!QFileInfo::exists(watchedImage)) {
        if (++reloadRetries <= kReloadRetries)
            reloadTimer.start(kReloadDelayMilliseconds);
        return;
    }
    if (!watcher.files().contains(watchedImage))
        watcher.addPath(watchedImage);
    const QByteArray current = BootImageBytes(watchedImage);
    if (current.isEmpty() || current == watchedBootImage)
        return;
    const QString name = QFileInfo(watchedImage).fileName();
    Reset();
    ShowStatus("Reloaded " + name);
}

void CMainWindow::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.first().isLocalFile())
        event->acceptProposedAction();
}

void CMainWindow::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return;
    event->acceptProposedAction();
    const QString path = urls.first().toLocalFile();
    // The drop's own loop ends before the question is asked.
    QTimer::singleShot(0, this, [this, path] { OfferImage(path); });
}

void CMainWindow::OfferImage(const QString& path) {
    const QString question = "Reset the machine and boot \"" + QFileInfo(path).fileName() + "\" ?";
    const bool yes = WhileHeld([&] {
        return resetQuestion ? resetQuestion(question)
                             : QMessageBox::question(this, kTitle, question,
                                                     QMessageBox::Yes | QMessageBox::No,
                                                     QMessageBox::Yes) == QMessageBox::Yes;
    });
    if (!yes)
        return;
    openedImages = {QFileInfo(path).absoluteFilePath().toStdString()};
    Reset();
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
