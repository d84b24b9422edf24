// The window program: one main window that runs the machine between window events.
#include "core/Machine.h"
#include "core/Random.h"
#include "host/CommandLine.h"
#include "host/ExitSignals.h"
#include "host/HostSystem.h"
#include "host/OpenedImages.h"
#include "host/SettingsFiles.h"
#include "host/SettingsLocation.h"
#include "host/audio/HostAudio.h"
#include "host/qt/ErrorBox.h"
#include "host/qt/MainWindow.h"
#include "host/qt/QtAudioOutput.h"

#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

// --help and --version answer without a window (and without a display).
bool AnswersWithoutWindow(int argc, char** argv, int& code) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            std::cout << WindowProgramUsage();
            code = 0;
            return true;
        }
        if (argument == "--version") {
            std::cout << "Tarquil " TARQUIL_VERSION "\n";
            code = 0;
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (int code = 0; AnswersWithoutWindow(argc, argv, code))
        return code;
    QApplication application(argc, argv);
    QApplication::setApplicationName("Tarquil");
    // The desktop entry: its icon and name for the window on desktops that ask.
    QGuiApplication::setDesktopFileName("tarquil");
    SeedRandom(MonotonicTickCount());

    // Qt has taken its own options; the rest is the machine's command line.
    std::vector<std::string> arguments;
    const QStringList given = QApplication::arguments();
    for (qsizetype i = 1; i < given.size(); ++i)
        arguments.push_back(given[i].toStdString());
    // `tarquil FILE.disk`: the image is opened, the rest is the machine's command line.
    const std::vector<std::string> images = TakeImageArguments(arguments);
    const std::string commandLine = JoinCommandLine(arguments);

    // Beside the program when its machine configuration is there, else the user's folders,
    // filled from the installed defaults at the first start.
    const SSettingsLocation location = FindSettingsLocation(
        DefaultSettingsDirectory(), [](const char* name) { return std::getenv(name); });
    std::string locationError;
    if (!PrepareSettingsLocation(
            location,
            InstalledDefaultsDirectory(DefaultSettingsDirectory(), TARQUIL_DEFAULTS_FROM_BIN),
            locationError))
        std::fprintf(stderr, "tarquil: %s\n", locationError.c_str());

    CMainWindow* mainWindow = nullptr;
    InstallErrorBoxes([&mainWindow]() -> QWidget* { return mainWindow; });

    // The sound card, for the MIDI synthesizer and the beep. It outlives every machine, so
    // the notes of a machine that stops get their note-off.
    CHostAudio audio(std::make_unique<CQtAudioOutput>());

    CMainWindow window(location.settingsDirectory, commandLine);
    window.SetOpenedImages(images);
    mainWindow = &window;
    window.SetMidiOutput(audio.MidiOutputs());
    window.GetPlatform().SetBeepSink(
        [&audio](uint32_t frequency, uint32_t durationMs) { audio.Beep(frequency, durationMs); });

    // SIGINT, SIGTERM and SIGHUP close the program like Exit but without the question: the
    // loop (and any dialog's loop) ends, the machine stops below (disk images closed, user
    // settings written), then the program ends by that signal. Installed before the machine
    // starts, so that an error box of its start is closed that way too.
    std::unique_ptr<QSocketNotifier> exitSignal;
    if (InstallExitSignalHandlers()) {
        exitSignal =
            std::make_unique<QSocketNotifier>(GetExitSignalDescriptor(), QSocketNotifier::Read);
        QObject::connect(exitSignal.get(), &QSocketNotifier::activated, &window,
                         [] { QApplication::exit(0); });
    }

    window.StartMachine();
    // The option scanners pass over what they do not know; say so, once.
    const CMachine* machine = window.GetMachine();
    for (const std::string& problem :
         FindCommandLineProblems(commandLine, machine ? machine->diskCount : -1))
        std::cerr << "tarquil: " << problem << '\n';
    window.ShowAsRemembered();

    // Logging off asks the exit question too.
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager& session) {
                         if (session.allowsInteraction() && !window.ConfirmExit())
                             session.cancel();
                         session.release();
                     });

    // For screenshots of the real program (scripts/screenshots.sh): after the given delay,
    // save the window as the display shows it and end without asking.
    const QString screenshotPath = qEnvironmentVariable("TARQUIL_SCREENSHOT");
    if (!screenshotPath.isEmpty()) {
        const int delay = qEnvironmentVariableIntValue("TARQUIL_SCREENSHOT_DELAY_MS");
        QTimer::singleShot(delay > 0 ? delay : 2000, &window, [&window, screenshotPath] {
            const QPixmap shot = window.screen()->grabWindow(window.winId());
            if (!shot.save(screenshotPath, "PNG"))
                qWarning("cannot save %s", qPrintable(screenshotPath));
            window.StopMachine();
            QApplication::exit(shot.isNull() ? 1 : 0);
        });
    }

    const int code = QApplication::exec();
    window.StopMachine();
    mainWindow = nullptr;
    if (IsExitRequested())
        FinishExitBySignal();
    return code;
}
