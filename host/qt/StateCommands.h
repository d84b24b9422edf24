// The File menu's saved states and recordings: "Save state...", "Load state...", four quick
// slots on keys (Ctrl+Shift+F5..F8 save into slot 1..4, Ctrl+F5..F8 load from it; the keys
// then never reach the program), and "Record session...", which records everything the
// machine takes from the host until it is chosen again (or the machine stops) and writes
// the recording that `tarquil-run --replay` runs again.
#pragma once

#include "host/HostGate.h"

#include <QObject>
#include <QString>

#include <functional>
#include <string>

class CMachine;
class QAction;
class QMenu;
class QWidget;

class CStateCommands : public QObject {
    Q_OBJECT
public:
    static constexpr int kQuickSlots = 4;

    // What the commands need of the window.
    struct SWindowHooks {
        std::function<CMachine*()> machine;
        // Whether the program waits for input right now (a recording notes it).
        std::function<bool()> programWaits;
        // A state was loaded: repaint, and let the program run.
        std::function<void()> loaded;
        // Runs a dialog (a file dialog, a question, a message box) with the menu session
        // over and the program told that the window is held. Empty: the dialog just runs.
        std::function<void(const std::function<void()>& dialog)> held;
    };

    // Quick slot files go into `quickDirectory` (ending with a separator).
    CStateCommands(QWidget* window, CHostGate& gate, std::string quickDirectory,
                   SWindowHooks hooks);

    // Adds the commands to the File menu (the quick slots to the window only, as keys).
    void AddActions(QMenu* file);

    // How the commands ask for a file and a yes or no (tests answer without dialogs).
    using FilePicker = std::function<QString(bool save, const QString& title)>;
    using Confirmer = std::function<bool(const QString& question)>;
    void SetFilePicker(FilePicker picker) { filePicker = std::move(picker); }
    void SetConfirmer(Confirmer confirmer) { confirm = std::move(confirmer); }

    // The commands themselves. False with the reason in `problem`; loading a state whose
    // images changed asks first and is then false with an empty problem when refused.
    bool SaveState(const std::string& path, std::string& problem);
    bool LoadState(const std::string& path, std::string& problem);
    bool StartRecording(const std::string& path, std::string& problem);
    // Writes the recording; nothing happens when none runs.
    bool StopRecording(std::string& problem);
    bool IsRecording() const { return gate.IsRecording(); }

    std::string QuickSlotPath(int slot) const;

private:
    void SaveStateChosen();
    void LoadStateChosen();
    void RecordToggled(bool on);
    void QuickSave(int slot);
    void QuickLoad(int slot);
    void ShowProblem(const std::string& problem);
    void Held(const std::function<void()>& dialog);
    QString PickFile(bool save, const QString& title);

    QWidget* window;
    CHostGate& gate;
    std::string quickDirectory;
    SWindowHooks hooks;
    FilePicker filePicker;
    Confirmer confirm;
    std::string recordingPath;
    QAction* recordAction = nullptr;
};
