// The window program's sound card output where there is no sound server: MIDI fails with
// its two messages, and the beep stays silent without holding anything up.
#include "host/qt/QtAudioOutput.h"
#include "devices/Sound.h"
#include "host/audio/HostAudio.h"
#include "support/ErrorStack.h"
#include "support/INIFile.h"

#include <QElapsedTimer>
#include <QTest>

class QtAudioOutputTest : public QObject {
    Q_OBJECT

private slots:
    void WithoutASoundServerMidiGivesTheTwoMessages() {
        CHostAudio audio(std::make_unique<CQtAudioOutput>());
        qm::ClearErrors();
        CSound sound(audio.MidiOutputs());
        QVERIFY(!sound.Init(qm::CINIFile(), qm::CINIFile(), ""));
        QVERIFY(!audio.GetOutput().IsOpen());
        std::string text;
        QVERIFY(qm::PopError(text));
        QCOMPARE(text, std::string("[.\\sound,59] Unable to create MIDI sound device"));
        QVERIFY(qm::PopError(text));
        QCOMPARE(text, std::string("[.\\sound,55] Cannot initialize MIDI (No audio output: No "
                                   "audio output device)"));
        QVERIFY(!qm::PopError(text));
    }

    void WithoutASoundServerTheBeepReturnsAtOnce() {
        CHostAudio audio(std::make_unique<CQtAudioOutput>());
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 20; ++i)
            audio.Beep(440, 1000);
        // Twenty seconds of beeps asked for; none of them is waited for.
        QVERIFY(timer.elapsed() < 5000);
        QVERIFY(!audio.GetOutput().IsOpen());
    }
};

int main(int argc, char** argv) {
    // Whatever sound server the machine running the tests has, this one has none.
    qputenv("PULSE_SERVER", "unix:/nonexistent/tarquil-test/native");
    QCoreApplication application(argc, argv);
    QtAudioOutputTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "QtAudioOutputTest.moc"
