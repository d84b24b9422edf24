// The main window: the machine's screen as its client area, the menu (Reset, Exit, Font,
// Disks, About), the title that shows the running program's last message, the exit
// question, and the current machine, built when the window is made and rebuilt by Reset.
#pragma once

#include "abi/Events.h"
#include "host/HostGate.h"
#include "host/MachineAssembly.h"
#include "host/qt/DisksDialog.h"
#include "host/qt/HostTimers.h"
#include "host/qt/MachineRunner.h"
#include "host/qt/QtPlatform.h"
#include "host/qt/ScreenRecorder.h"
#include "host/qt/StateCommands.h"
#include "host/qt/ViewSettings.h"

#include <QByteArray>
#include <QFileSystemWatcher>
#include <QMainWindow>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CDebuggerWindow;
class CScreenWidget;
class CQtScreenSurface;
class QAction;
class QLabel;

class CMainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "Tarquil";

    // `settingsDirectory` holds the settings files (ends with a separator); `commandLine`
    // is the program's command line without its name.
    CMainWindow(const std::string& settingsDirectory, const std::string& commandLine);
    ~CMainWindow() override;

    // Disk images given by themselves on the command line or dropped on the window: each
    // machine start puts them into slots and boots the first.
    void SetOpenedImages(std::vector<std::string> paths) { openedImages = std::move(paths); }
    const std::vector<std::string>& GetOpenedImages() const { return openedImages; }

    // Shows the window as the view settings remember it (fullscreen or not).
    void ShowAsRemembered();

    // How the machines that this window builds get their MIDI output (none until set).
    void SetMidiOutput(MidiOutputFactory factory);

    // Builds the current machine; the window's creation does it before the window shows.
    void StartMachine();
    void StopMachine();
    CMachine* GetMachine();

    // "Tarquil", or "Tarquil [message]" for a non-empty message of the running program.
    void SetStatusTitle(const std::string& message);
    // The exit question; true without asking after -noask.
    bool ConfirmExit();
    // Tells the program whether the window is held in a modal loop or runs on again; the
    // processor stands still in between.
    void NotifyActivity(EActivity activity);
    // Runs a modal loop (a dialog, a message box) with the program told that the window is
    // held for its duration; the loop's result.
    template <typename ModalLoop>
    auto WhileHeld(ModalLoop&& loop) {
        NotifyActivity(EActivity::Held);
        struct SResume {
            CMainWindow& window;
            ~SResume() { window.NotifyActivity(EActivity::Active); }
        } resume{*this};
        return loop();
    }
    // Sizes the window so that its client area shows the whole screen (within the desktop's
    // free area), and keeps it from being made smaller than that.
    void FitWindowToScreen();

    // The menu commands.
    void Reset();
    void Exit();
    void ChooseFont();
    void ShowDisks();
    void ShowAbout();
    // The View menu.
    void SetFullscreen(bool on);
    void ToggleFullscreen() { SetFullscreen(!isFullScreen()); }
    // 0: fit to the window; 1 to 6: a fixed scale that sizes the window.
    void SetScale(int scale);
    void SetPixelGap(bool on);
    void SetReloadOnChange(bool on);
    // Saves the screen as PNG into the screenshot folder; the file's path, or empty.
    QString SaveScreenshot();
    // Starts a GIF recording of the screen, or ends the one running.
    void ToggleRecording();
    bool IsRecording() const { return recorder.IsRecording(); }
    // Asks whether to Reset into the image and does so when the answer is yes.
    void OfferImage(const QString& path);

    const SViewSettings& GetViewSettings() const { return view; }
    // Where screenshots and recordings go: $XDG_PICTURES_DIR/Tarquil/, or the pictures
    // folder, or the home folder.
    static QString ScreenshotDirectory();
    // The last message of the status line (screenshots, recordings, reloads).
    QString GetStatusMessage() const;
    // The image file the current machine booted from, when reloads watch it.
    const QString& GetWatchedImage() const { return watchedImage; }
    // How a dropped image asks to Reset (tests answer without a message box).
    void SetResetQuestion(std::function<bool(const QString&)> question) {
        resetQuestion = std::move(question);
    }
    void ShowDebugger();
    void LoadSymbols();

    CScreenWidget& GetScreenWidget() { return *screenWidget; }
    CQtScreenSurface& GetSurface();
    CMachineRunner& GetRunner() { return runner; }
    CQtPlatform& GetPlatform() { return platform; }
    CStateCommands& GetStateCommands() { return *stateCommands; }
    CHostTimers& GetTimers() { return timers; }
    CDebuggerWindow& GetDebuggerWindow() { return *debuggerWindow; }
    bool IsAskingOnExit() const { return askOnExit; }
    // How the Disks dialog asks for an image file (tests answer without a file dialog).
    void SetDiskFilePicker(CDisksDialog::FilePicker picker) { diskFilePicker = std::move(picker); }

    QAction* GetAction(const char* objectName) const;

    static QString AboutText();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildMenus();
    void BuildViewMenu();
    void SaveViewSettings();
    void ShowStatus(const QString& message);
    void WatchBootImage();
    void CheckWatchedImage();
    void PostTimer(uint32_t id);
    void WatchModalMenu(class QMenu* menu);
    // One menu session, from the first menu opened to the last one closed, however many
    // menus the user slides through.
    void BeginMenuSession();
    void EndMenuSession();
    // The screen's mode, size or cell changed since the window last fitted it.
    void FollowScreenShape();

    CHostTimers timers;
    CQtPlatform platform{timers};
    // What the machine reads of the host passes here (recordings).
    CHostGate gate{platform};
    CMachineRunner runner;
    CScreenWidget* screenWidget;
    CDebuggerWindow* debuggerWindow;
    std::unique_ptr<CMachineHost> host;
    bool askOnExit;
    bool inMenuSession = false;
    // Mode, width, height, cell width and cell height the window was last fitted to.
    std::array<int32_t, 5> fittedShape{};
    CDisksDialog::FilePicker diskFilePicker;
    std::string viewSettingsPath;
    SViewSettings view;
    std::vector<std::string> openedImages;
    std::function<bool(const QString&)> resetQuestion;
    CScreenRecorder recorder;
    QLabel* statusLabel;
    QTimer statusTimer;
    // Reload: the booted image, its boot image's bytes when it booted, and a short delay
    // that lets a writer finish before the file is compared.
    QFileSystemWatcher watcher;
    QString watchedImage;
    QByteArray watchedBootImage;
    QTimer reloadTimer;
    int reloadRetries = 0;
    CStateCommands* stateCommands;
    // -record FILE: the first machine is recorded from its start into FILE.
    std::string recordPath;
};
