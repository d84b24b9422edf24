// The main window: the machine's screen as its client area, the menu (Reset, Exit, Font,
// Disks, About), the title that shows the running program's last message, the exit
// question, and the current machine, built when the window is made and rebuilt by Reset.
#pragma once

#include "host/MachineAssembly.h"
#include "host/qt/DisksDialog.h"
#include "host/qt/HostTimers.h"
#include "host/qt/MachineRunner.h"
#include "host/qt/QtPlatform.h"

#include <QMainWindow>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

class CScreenWidget;
class CQtScreenSurface;
class QAction;

class CMainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "Tarquil";

    // `settingsDirectory` holds the settings files (ends with a separator); `commandLine`
    // is the program's command line without its name.
    CMainWindow(const std::string& settingsDirectory, const std::string& commandLine);
    ~CMainWindow() override;

    // Builds the current machine; the window's creation does it before the window shows.
    void StartMachine();
    void StopMachine();
    CMachine* GetMachine();

    // "Tarquil", or "Tarquil [message]" for a non-empty message of the running program.
    void SetStatusTitle(const std::string& message);
    // The exit question; true without asking after -noask.
    bool ConfirmExit();
    // Tells the program whether the window is in a modal loop (0) or back (1); the
    // processor stands still in between.
    void NotifyActivity(uint32_t flag);
    // Sizes the window so that its client area shows the whole screen (within the desktop's
    // free area), and keeps it from being made smaller than that.
    void FitWindowToScreen();

    // The menu commands.
    void Reset();
    void Exit();
    void ChooseFont();
    void ShowDisks();
    void ShowAbout();

    CScreenWidget& GetScreenWidget() { return *screenWidget; }
    CQtScreenSurface& GetSurface();
    CMachineRunner& GetRunner() { return runner; }
    CQtPlatform& GetPlatform() { return platform; }
    CHostTimers& GetTimers() { return timers; }
    bool IsAskingOnExit() const { return askOnExit; }
    // How the Disks dialog asks for an image file (tests answer without a file dialog).
    void SetDiskFilePicker(CDisksDialog::FilePicker picker) { diskFilePicker = std::move(picker); }

    QAction* GetAction(const char* objectName) const;

    static QString AboutText();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void BuildMenus();
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
    CMachineRunner runner;
    CScreenWidget* screenWidget;
    std::unique_ptr<CMachineHost> host;
    bool askOnExit;
    bool inMenuSession = false;
    // Mode, width, height, cell width and cell height the window was last fitted to.
    std::array<int32_t, 5> fittedShape{};
    CDisksDialog::FilePicker diskFilePicker;
};
