// The window program closed from outside: SIGINT, SIGTERM and SIGHUP end it the way Exit
// does, without the question (the disk image keeps what the program wrote, the user
// settings file is rewritten), and the program then ends by that signal. The real program
// runs here, as a copy beside its own settings files.
#include "common/DiskWriterProgram.h"
#include "common/FileTestHelpers.h"

#include <QTest>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

using namespace testhelpers;

namespace {

using namespace std::chrono_literals;
constexpr auto kPatience = 60s; // a window program starting on a busy machine

template <typename Condition>
bool WaitFor(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition())
            return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

} // namespace

class WindowExitSignalTest : public QObject {
    Q_OBJECT

private slots:
    void closedBySignal_data();
    void closedBySignal();
};

void WindowExitSignalTest::closedBySignal_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void WindowExitSignalTest::closedBySignal() {
    QFETCH(int, signal);
    CTemporaryDirectory temporary;
    const std::string dir = temporary.path + "/";
    const std::string program = dir + "tarquil";
    const std::string image = dir + "writer.disk";
    std::filesystem::copy_file(TARQUIL_WINDOW_PATH, program);
    const std::string original = DiskWriterImage(EAfterWrite::Wait);
    const std::string written = DiskImageAfterWrite(original);
    QVERIFY(WriteBytes(image, original));
    QVERIFY(WriteBytes(dir + "Tarquil1.ini", "[Memory]\r\nSize=64k\r\n[Kernel]\r\nPriority=3\r\n"
                                             "[Disks]\r\nCount=2\r\nRemember=0\r\n"));
    QVERIFY(WriteBytes(dir + "Tarquil2.ini", "[Disks]\r\n0=" + image + "\r\n"));

    // Started as from a desktop: default signal actions, no display.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int s : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&defaults, s);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    std::string platform = "QT_QPA_PLATFORM=offscreen";
    std::vector<char*> environment = {platform.data()};
    for (char** variable = environ; *variable; ++variable) {
        if (std::string(*variable).rfind("QT_QPA_PLATFORM=", 0) != 0)
            environment.push_back(*variable);
    }
    environment.push_back(nullptr);
    std::string argument0 = program;
    char* argv[] = {argument0.data(), nullptr};
    pid_t child = -1;
    QCOMPARE(posix_spawn(&child, program.c_str(), nullptr, &attributes, argv, environment.data()),
             0);
    posix_spawnattr_destroy(&attributes);

    const bool wrote = WaitFor([&] { return ReadBytes(image) == written; });
    if (!wrote)
        kill(child, SIGKILL);
    QVERIFY2(wrote, "the program did not write its mark");
    kill(child, signal);
    int status = 0;
    const bool ended = WaitFor([&] { return waitpid(child, &status, WNOHANG) == child; });
    if (!ended) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    QVERIFY2(ended, "the program did not end after the signal");
    QVERIFY(WIFSIGNALED(status));
    QCOMPARE(WTERMSIG(status), signal);
    QCOMPARE(ReadBytes(image), written);
    const std::string settings = ReadBytes(dir + "Tarquil2.ini");
    QVERIFY2(settings.rfind("; Tarquil2.ini\r\n", 0) == 0, settings.c_str());
    QVERIFY2(settings.find("[Disks]\r\n0=" + image + "\r\n") != std::string::npos,
             settings.c_str());
}

QTEST_GUILESS_MAIN(WindowExitSignalTest)
#include "WindowExitSignalTest.moc"
