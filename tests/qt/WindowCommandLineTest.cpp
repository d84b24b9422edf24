// The window program's own answers on the command line: --help and --version print and
// end without a window, even where there is no display at all.
#include <QTest>

#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace {

struct SOutput {
    int exitCode = -1;
    std::string out;
};

// Runs the window program with one argument and no display: no DISPLAY, WAYLAND_DISPLAY or
// QT_QPA_PLATFORM reaches it.
SOutput RunWindowProgram(const std::string& argument) {
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" +
                                std::string(TARQUIL_WINDOW_PATH) + "' " + argument + " 2>&1";
    SOutput output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return output;
    char buffer[512];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.out.append(buffer, n);
    const int status = pclose(pipe);
    output.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

} // namespace

class WindowCommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void helpAndVersionNeedNoWindow();
};

void WindowCommandLineTest::helpAndVersionNeedNoWindow() {
    const SOutput help = RunWindowProgram("--help");
    QCOMPARE(help.exitCode, 0);
    QVERIFY2(help.out.rfind("Usage: tarquil [OPTIONS] [FILE.disk]\n", 0) == 0, help.out.c_str());
    QVERIFY2(help.out.find("-disk N FILE") != std::string::npos, help.out.c_str());
    const SOutput version = RunWindowProgram("--version");
    QCOMPARE(version.exitCode, 0);
    QCOMPARE(version.out, std::string("Tarquil 1.3\n"));
}

QTEST_GUILESS_MAIN(WindowCommandLineTest)
#include "WindowCommandLineTest.moc"
