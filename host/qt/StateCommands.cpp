#include "host/qt/StateCommands.h"

#include "core/Machine.h"
#include "host/MachineState.h"
#include "host/StateFile.h"

#include <QAction>
#include <QFileDialog>
#include <QKeySequence>
#include <QMenu>
#include <QMessageBox>
#include <QWidget>

namespace {

const char* const kErrorTitle = "Tarquil - Error";
const char* const kStateFilter = "Machine states (*.state);;All files (*)";
const char* const kRecordingFilter = "Recordings (*.record);;All files (*)";

std::string Lines(const std::vector<std::string>& messages) {
    std::string text;
    for (const std::string& message : messages)
        text += message + "\n";
    return text;
}

} // namespace

CStateCommands::CStateCommands(QWidget* window, CHostGate& gate, std::string quickDirectory,
                               SWindowHooks hooks)
    : QObject(window), window(window), gate(gate), quickDirectory(std::move(quickDirectory)),
      hooks(std::move(hooks)) {
    filePicker = [this](bool save, const QString& title) {
        const bool recording = title.contains("ecord");
        const QString filter = recording ? kRecordingFilter : kStateFilter;
        return save ? QFileDialog::getSaveFileName(this->window, title, {}, filter)
                    : QFileDialog::getOpenFileName(this->window, title, {}, filter);
    };
    confirm = [this](const QString& question) {
        return QMessageBox::question(this->window, "Tarquil", question,
                                     QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    };
}

void CStateCommands::AddActions(QMenu* file) {
    QAction* save = file->addAction("&Save state...");
    save->setObjectName("actionSaveState");
    connect(save, &QAction::triggered, this, &CStateCommands::SaveStateChosen);
    QAction* load = file->addAction("&Load state...");
    load->setObjectName("actionLoadState");
    connect(load, &QAction::triggered, this, &CStateCommands::LoadStateChosen);
    recordAction = file->addAction("Re&cord session...");
    recordAction->setObjectName("actionRecordSession");
    recordAction->setCheckable(true);
    recordAction->setChecked(gate.IsRecording());
    connect(recordAction, &QAction::toggled, this, &CStateCommands::RecordToggled);

    // The quick slots are keys of the window, not menu items.
    for (int slot = 1; slot <= kQuickSlots; ++slot) {
        const auto key = static_cast<Qt::Key>(Qt::Key_F5 + slot - 1);
        auto* quickSave = new QAction(window);
        quickSave->setObjectName(QString("actionQuickSave%1").arg(slot));
        quickSave->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | key));
        connect(quickSave, &QAction::triggered, this, [this, slot] { QuickSave(slot); });
        auto* quickLoad = new QAction(window);
        quickLoad->setObjectName(QString("actionQuickLoad%1").arg(slot));
        quickLoad->setShortcut(QKeySequence(Qt::CTRL | key));
        connect(quickLoad, &QAction::triggered, this, [this, slot] { QuickLoad(slot); });
        window->addAction(quickSave);
        window->addAction(quickLoad);
    }
}

std::string CStateCommands::QuickSlotPath(int slot) const {
    return quickDirectory + "quick" + std::to_string(slot) + ".state";
}

bool CStateCommands::SaveState(const std::string& path, std::string& problem) {
    CMachine* machine = hooks.machine();
    if (!machine) {
        problem = "There is no machine to save.";
        return false;
    }
    SMachineState state;
    CaptureMachineState(*machine, gate, state);
    return SaveStateFile(path, state, problem);
}

bool CStateCommands::LoadState(const std::string& path, std::string& problem) {
    CMachine* machine = hooks.machine();
    if (!machine) {
        problem = "There is no machine to load the state into.";
        return false;
    }
    SMachineState state;
    if (!LoadStateFile(path, state, problem))
        return false;
    std::vector<std::string> changes;
    CheckStateImages(state, changes);
    bool accepted = true;
    if (!changes.empty())
        Held([&] {
            accepted = confirm(QString::fromStdString(Lines(changes) + "\nLoad the state anyway?"));
        });
    if (!accepted) {
        problem.clear();
        return false;
    }
    // A recording cannot go on across a jump to another state: it ends here.
    if (gate.IsRecording() && !StopRecording(problem))
        return false;
    std::vector<std::string> warnings;
    const bool applied = ApplyMachineState(*machine, gate, std::move(state), warnings, problem);
    if (applied && hooks.loaded)
        hooks.loaded();
    if (!warnings.empty())
        problem = Lines(warnings);
    return applied;
}

bool CStateCommands::StartRecording(const std::string& path, std::string& problem) {
    CMachine* machine = hooks.machine();
    if (!machine) {
        problem = "There is no machine to record.";
        return false;
    }
    if (gate.IsRecording() && !StopRecording(problem))
        return false;
    SMachineState state;
    CaptureMachineState(*machine, gate, state);
    std::vector<uint8_t> start = EncodeMachineState(state);
    if (start.empty()) {
        problem = "Cannot record: the machine's state cannot be compressed.";
        return false;
    }
    gate.StartRecording(std::move(start), hooks.programWaits && hooks.programWaits());
    recordingPath = path;
    if (recordAction) {
        const QSignalBlocker quiet(recordAction);
        recordAction->setChecked(true);
    }
    return true;
}

bool CStateCommands::StopRecording(std::string& problem) {
    if (!gate.IsRecording())
        return true;
    const SRecording recording = gate.StopRecording();
    if (recordAction) {
        const QSignalBlocker quiet(recordAction);
        recordAction->setChecked(false);
    }
    return SaveRecordingFile(recordingPath, recording, problem);
}

void CStateCommands::Held(const std::function<void()>& dialog) {
    if (hooks.held)
        hooks.held(dialog);
    else
        dialog();
}

void CStateCommands::ShowProblem(const std::string& problem) {
    if (!problem.empty())
        Held([&] { QMessageBox::warning(window, kErrorTitle, QString::fromStdString(problem)); });
}

// The file is chosen while the window is held; the machine is saved, loaded or recorded once
// the program runs again, so that what it is told about the window goes to the machine
// it is then.
QString CStateCommands::PickFile(bool save, const QString& title) {
    QString path;
    Held([&] { path = filePicker(save, title); });
    return path;
}

void CStateCommands::SaveStateChosen() {
    const QString path = PickFile(true, "Save state");
    std::string problem;
    if (!path.isEmpty() && !SaveState(path.toStdString(), problem))
        ShowProblem(problem);
}

void CStateCommands::LoadStateChosen() {
    const QString path = PickFile(false, "Load state");
    std::string problem;
    if (path.isEmpty())
        return;
    LoadState(path.toStdString(), problem);
    ShowProblem(problem);
}

void CStateCommands::RecordToggled(bool on) {
    std::string problem;
    if (!on) {
        StopRecording(problem);
        ShowProblem(problem);
        return;
    }
    const QString path = PickFile(true, "Record session");
    if (path.isEmpty() || !StartRecording(path.toStdString(), problem)) {
        const QSignalBlocker quiet(recordAction);
        recordAction->setChecked(false);
        ShowProblem(problem);
    }
}

void CStateCommands::QuickSave(int slot) {
    std::string problem;
    if (!SaveState(QuickSlotPath(slot), problem))
        ShowProblem(problem);
}

void CStateCommands::QuickLoad(int slot) {
    std::string problem;
    LoadState(QuickSlotPath(slot), problem);
    ShowProblem(problem);
}
