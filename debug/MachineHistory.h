// The machine's recent past, kept while it runs under a debugger so that the debugger can
// step backwards. Every few hundred thousand instructions the history takes a snapshot of
// the whole machine in memory (data memory in pages; a page that has not changed since the
// snapshot before is shared with it, and so is an unchanged screen), and the host gate notes
// everything the machine takes from its host in between: the events the host posts and the values
// the program reads (clocks, key states, timer answers), each with its instruction count.
//
// Going back restores the latest snapshot at or before the wanted instruction; the machine
// is then "in its past": running it forward, the gate answers the program's reads from the
// notes and holds back the host's own events, and the noted events arrive at their counts,
// so the run repeats the original one exactly. Where the original run was when the
// machine first went back is "the present"; once the machine gets there again, the gate
// passes everything to the host again. Input that the host sends while the machine is in
// its past is dropped.
//
// The whole stays within a memory budget: past it, every second one of the older half of
// the snapshots goes (the recent past stays dense, where stepping back goes most), and
// when the notes alone fill half the budget, the oldest snapshot goes with its notes.
#pragma once

#include "core/Kernel.h"
#include "core/Machine.h"
#include "core/Memory.h"
#include "core/Platform.h"
#include "devices/ScreenState.h"
#include "host/MachineState.h"
#include "host/Recording.h"

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

class CHostGate;

struct SHistoryFigures {
    size_t snapshots = 0;
    size_t bytes = 0; // memory held by the snapshots and the notes
    size_t budget = 0;
    size_t notes = 0;         // noted host items
    uint64_t oldestCount = 0; // the oldest instruction count the machine can go back to
};

class CMachineHistory {
public:
    static constexpr size_t kDefaultBudget = size_t{256} << 20;
    static constexpr size_t kPageBytes = 16 * 1024;
    // Instructions between two snapshots at least; a larger memory takes them further apart
    // (a quarter of its size), so that comparing it stays a small part of the run.
    static constexpr uint64_t kMinimumInterval = uint64_t{1} << 18;

    // Starts the history at the machine's current point. `gate` is the platform the machine
    // was assembled with. `interval`: instructions between snapshots (0: by the memory size).
    CMachineHistory(CMachine& machine, CHostGate& gate, size_t budgetBytes, uint64_t interval = 0);
    ~CMachineHistory();
    CMachineHistory(const CMachineHistory&) = delete;
    CMachineHistory& operator=(const CMachineHistory&) = delete;

    void SetBudget(size_t budgetBytes);
    SHistoryFigures GetFigures() const;
    uint64_t GetOldestCount() const { return snapshots.front().count; }

    // The machine is about to run a slice in the present: a snapshot when one is due. Slices
    // are a few dozen instructions, so what is checked every time is two compares.
    void BeforeSlice() {
        if (machine.kernel->GetInstructionCount() - latestCount >= interval ||
            machine.memory->GetSize() != latestSize) [[unlikely]]
            SnapshotDue();
    }

    // Restores the latest snapshot at or before `count` and puts the machine into its past;
    // the snapshot's count. The history must hold one (count >= GetOldestCount()).
    uint64_t RestoreAtOrBefore(uint64_t count);
    // The snapshot before the one at `count` (a snapshot's count); false at the oldest.
    bool PreviousSnapshot(uint64_t count, uint64_t& previous) const;

    bool IsInPast() const { return inPast; }
    // In the past: posts the noted events due at the current count (those at earlier counts
    // came already).
    void DeliverDue();
    // In the past: the count where the machine must pause running next, for the next noted
    // event or the present; the present's count when nothing is noted before it.
    uint64_t NextStop() const;
    // In the past: when the machine has reached the present (or stopped), the gate serves
    // the host again. True when that happened.
    bool ReachPresent();
    // The machine was changed by hand: what the history holds no longer leads to it. It
    // starts again from here (in the past, here becomes the present, and the host timers
    // are set to those the program runs at this point).
    void Restart();

private:
    struct SSnapshot {
        uint64_t count = 0;
        size_t noteIndex = 0; // the first note taken after it (an index of all notes ever)
        std::vector<std::shared_ptr<const std::vector<uint8_t>>> pages;
        SMachineCore core;
        std::shared_ptr<const SScreenState> screen; // shared with the snapshot before if the same
        std::vector<uint32_t> diskPositions;        // per slot; only slots with a disk count
        size_t ownBytes = 0; // beyond the pages and the screen it shares with the snapshot before
    };

    void SnapshotDue();
    void TakeSnapshot();
    void Restore(const SSnapshot& snapshot);
    void CountBytes();
    size_t OwnBytes(size_t index) const;
    void KeepWithinBudget();
    void DropOldest();
    const SRecordedItem& NoteAt(size_t index) const { return notes[index - firstNote]; }
    size_t EndOfNotes() const { return firstNote + notes.size(); }

    CMachine& machine;
    CHostGate& gate;
    size_t budget;
    uint64_t interval;
    std::vector<SSnapshot> snapshots; // by count; never empty
    uint64_t latestCount = 0;         // of snapshots.back()
    int32_t latestSize = 0;           // the memory size at snapshots.back()
    std::deque<SRecordedItem> notes;
    size_t firstNote = 0; // the index of notes.front() among all notes ever taken
    size_t snapshotBytes = 0;
    bool inPast = false;
    uint64_t presentCount = 0;
    size_t cursor = 0; // in the past: the next note to look at
};
