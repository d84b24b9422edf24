// The one place where the machine meets its host. Every platform service the machine uses
// passes through this gate on its way to the host's own platform, so that a session can be
// recorded and run again exactly:
// - recording, the gate notes each value the program reads (clocks, key states, the answers
//   about timers) and, through the kernel and the run loop, each event the host posts and
//   each moment the host lets a waiting program run again, all stamped with the instruction
//   count;
// - replaying, the program's reads are answered from a recording instead of the host, and
//   timers only keep their books: their events come from the recording too.
// Only queries made while instructions run count as the program's; the host's own (machine
// assembly, loading a state) pass through untouched in every mode. Output (beeps, thread
// priority) always reaches the host.
#pragma once

#include "core/Platform.h"
#include "host/Recording.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

class CKernel;

class CHostGate : public CPlatform {
public:
    explicit CHostGate(CPlatform& host) : host(host) {}

    // The current machine's kernel (null while there is none). Without one nothing is noted.
    void SetKernel(CKernel* current);

    // --- Recording ----------------------------------------------------------------------
    // Starts a recording from a machine state (a state file's bytes) captured now.
    void StartRecording(std::vector<uint8_t> startState, bool programWaits);
    bool IsRecording() const { return mode == EMode::Recording; }
    // The recording so far, ended at the current instruction count; the gate passes
    // everything through again.
    SRecording StopRecording();
    // The run loop let a waiting program run again.
    void NoteResume();

    // Receives everything a recording would note (the program's reads, the host's events),
    // whether or not a recording runs; a debugger keeps the machine's recent past this way.
    // Nothing is noted while replaying. Empty: none.
    using JournalSink = std::function<void(const SRecordedItem& item)>;
    void SetJournal(JournalSink sink) { journal = std::move(sink); }

    // --- Replaying ----------------------------------------------------------------------
    // Answers the program's reads from the values of a recording from now on, and holds back
    // the host's own events: only DeliverEvent's reach the queue. The timers that ran when the
    // replayed part began keep the books of the timers.
    void StartReplay(const std::vector<SRecordedItem>& items,
                     const std::vector<SHostTimer>& timers = {});
    // Back to what the gate did before StartReplay (a debugger's run of the past has reached
    // the present). The replayed timers' books are dropped.
    void EndReplay();
    // Posts a recorded event to the current kernel (replaying, the only way in).
    void DeliverEvent(const CEvent& event);
    // A read that the recording did not have next: the run no longer repeats the recorded
    // one. The description says where.
    bool HasDiverged() const { return !divergence.empty(); }
    const std::string& GetDivergence() const { return divergence; }

    // --- CPlatform ----------------------------------------------------------------------
    bool StartTimer(uint32_t id, uint32_t intervalMs) override;
    bool StopTimer(uint32_t id) override;
    std::vector<SHostTimer> GetRunningTimers() const override;
    void Beep(uint32_t frequency, uint32_t durationMs) override;
    bool GetPerformanceFrequency(uint64_t& frequency) override;
    uint64_t GetPerformanceCounter() override;
    uint32_t GetTickCount() override;
    void GetKeyState(uint32_t virtualKey, bool& down, bool& toggled) override;
    bool IsKeyDownNow(uint32_t virtualKey) override;
    SOSVersion GetOSVersion() override;
    void SetThreadPriority(EThreadPriority priority) override;
    bool GetWheelScrollLines(uint32_t& lines) override;
    uint64_t PassDeviceValue(EDeviceValue kind, uint64_t value) override;

private:
    enum class EMode { PassThrough, Recording, Replaying };

    // The program asks: true while instructions run.
    bool ProgramAsks() const;
    uint64_t Stamp() const;
    // Notes an item in the recording and the journal, as far as they run.
    void Note(const SRecordedItem& item);
    // One read of the program, as two numbers (see EHostValue). `live` asks the host for
    // them. Replaying, the recorded answer is taken instead; for reads with an argument
    // (a key, a timer) the recorded `a` must be the one asked about.
    template <typename TLive>
    void Read(EHostValue value, uint64_t argument, bool hasArgument, uint64_t& a, uint64_t& b,
              TLive live);
    // Replaying, a timer call of the host's own keeps the books only.
    bool ReplayTimer(uint32_t id, uint32_t intervalMs, bool start);

    CPlatform& host;
    CKernel* kernel = nullptr;
    EMode mode = EMode::PassThrough;
    SRecording recording;
    std::deque<SRecordedItem> values; // replaying: the reads still to come
    std::map<uint32_t, uint32_t> replayTimers;
    std::string divergence;
    JournalSink journal;
    EMode modeBeforeReplay = EMode::PassThrough;
    bool delivering = false;
};
