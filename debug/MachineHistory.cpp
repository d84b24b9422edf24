#include "debug/MachineHistory.h"

#include "core/DiskSlot.h"
#include "core/Machine.h"
#include "core/Memory.h"
#include "devices/Screen.h"
#include "host/HostGate.h"
#include "host/MachineState.h"

#include <algorithm>
#include <cstring>

namespace {

size_t ScreenBytes(const SScreenState& screen) {
    return (screen.frontBuffer.size() + screen.backBuffer.size()) * sizeof(STextCell) +
           screen.dirtyRows.size() + screen.pixels.size() * sizeof(uint32_t);
}

} // namespace

CMachineHistory::CMachineHistory(CMachine& machine, CHostGate& gate, size_t budgetBytes,
                                 uint64_t interval)
    : machine(machine), gate(gate), budget(budgetBytes),
      interval(interval != 0
                   ? interval
                   : std::max<uint64_t>(kMinimumInterval,
                                        static_cast<uint64_t>(machine.memory->GetSize()) / 4)) {
    gate.SetJournal([this](const SRecordedItem& item) { notes.push_back(item); });
    TakeSnapshot();
}

CMachineHistory::~CMachineHistory() {
    gate.SetJournal(nullptr);
    if (inPast)
        gate.EndReplay();
}

void CMachineHistory::SetBudget(size_t budgetBytes) {
    budget = budgetBytes;
    KeepWithinBudget();
}

SHistoryFigures CMachineHistory::GetFigures() const {
    SHistoryFigures figures;
    figures.snapshots = snapshots.size();
    figures.notes = notes.size();
    figures.bytes = snapshotBytes + notes.size() * sizeof(SRecordedItem);
    figures.budget = budget;
    figures.oldestCount = GetOldestCount();
    return figures;
}

void CMachineHistory::SnapshotDue() {
    // A machine that a saved state replaced is not the one the history knows.
    if (machine.kernel->GetInstructionCount() < latestCount ||
        machine.memory->GetSize() != latestSize)
        Restart();
    else
        TakeSnapshot();
}

void CMachineHistory::TakeSnapshot() {
    const CMemory& memory = *machine.memory;
    const SSnapshot* before = snapshots.empty() ? nullptr : &snapshots.back();
    SSnapshot snapshot;
    snapshot.count = machine.kernel->GetInstructionCount();
    snapshot.noteIndex = EndOfNotes();
    const size_t size = static_cast<size_t>(memory.GetSize());
    const size_t pages = (size + kPageBytes - 1) / kPageBytes;
    snapshot.pages.reserve(pages);
    for (size_t page = 0; page < pages; ++page) {
        const uint8_t* bytes = memory.GetData() + page * kPageBytes;
        const size_t length = std::min(kPageBytes, size - page * kPageBytes);
        if (before && before->pages.size() == pages && before->pages[page]->size() == length &&
            std::memcmp(before->pages[page]->data(), bytes, length) == 0) {
            snapshot.pages.push_back(before->pages[page]);
            continue;
        }
        snapshot.pages.push_back(
            std::make_shared<const std::vector<uint8_t>>(bytes, bytes + length));
    }
    CaptureMachineCore(machine, gate, snapshot.core);
    if (before && machine.screen->IsInState(*before->screen)) {
        snapshot.screen = before->screen;
    } else {
        auto screen = std::make_shared<SScreenState>();
        machine.screen->SaveState(*screen);
        snapshot.screen = std::move(screen);
    }
    for (int32_t slot = 0; slot < machine.diskCount; ++slot) {
        uint32_t position = 0;
        const CDiskSlot& disk = *machine.disks[static_cast<size_t>(slot)];
        if (disk.HasDisk())
            disk.Tell(position);
        snapshot.diskPositions.push_back(position);
    }
    latestCount = snapshot.count;
    latestSize = memory.GetSize();
    snapshots.push_back(std::move(snapshot));
    snapshots.back().ownBytes = OwnBytes(snapshots.size() - 1);
    snapshotBytes += snapshots.back().ownBytes;
    KeepWithinBudget();
}

// What a snapshot holds of its own: the page table, the events queued, and the pages and
// screen it does not share with the one before. (A page or screen shared by several
// snapshots is shared by a run of neighbours: each took it from the one before.)
size_t CMachineHistory::OwnBytes(size_t index) const {
    const SSnapshot& snapshot = snapshots[index];
    const SSnapshot* before = index > 0 ? &snapshots[index - 1] : nullptr;
    size_t bytes = sizeof(SSnapshot) + snapshot.pages.size() * sizeof(snapshot.pages[0]) +
                   snapshot.core.kernel.events.size() * sizeof(CEvent);
    if (!before || before->screen != snapshot.screen)
        bytes += ScreenBytes(*snapshot.screen);
    for (size_t page = 0; page < snapshot.pages.size(); ++page) {
        const bool shared =
            before && page < before->pages.size() && before->pages[page] == snapshot.pages[page];
        if (!shared)
            bytes += snapshot.pages[page]->size();
    }
    return bytes;
}

void CMachineHistory::CountBytes() {
    snapshotBytes = 0;
    for (size_t i = 0; i < snapshots.size(); ++i) {
        snapshots[i].ownBytes = OwnBytes(i);
        snapshotBytes += snapshots[i].ownBytes;
    }
}

void CMachineHistory::KeepWithinBudget() {
    const auto total = [this] { return snapshotBytes + notes.size() * sizeof(SRecordedItem); };
    // The latest snapshot always stays: stepping back one instruction starts there.
    while (total() > budget && snapshots.size() > 1) {
        if (notes.size() * sizeof(SRecordedItem) > budget / 2 || snapshots.size() < 4) {
            DropOldest();
            continue;
        }
        // Every second one of the older half, the oldest kept: the history reaches as far
        // back as before, more coarsely.
        const size_t half = snapshots.size() / 2;
        std::vector<SSnapshot> kept;
        kept.reserve(snapshots.size());
        for (size_t i = 0; i < snapshots.size(); ++i)
            if (i >= half || i % 2 == 0)
                kept.push_back(std::move(snapshots[i]));
        snapshots = std::move(kept);
        CountBytes();
    }
}

void CMachineHistory::DropOldest() {
    snapshotBytes -= snapshots.front().ownBytes + snapshots[1].ownBytes;
    snapshots.erase(snapshots.begin());
    snapshots.front().ownBytes = OwnBytes(0);
    snapshotBytes += snapshots.front().ownBytes;
    const size_t keepFrom = snapshots.front().noteIndex;
    while (firstNote < keepFrom && !notes.empty()) {
        notes.pop_front();
        ++firstNote;
    }
}

uint64_t CMachineHistory::RestoreAtOrBefore(uint64_t count) {
    auto it = std::upper_bound(snapshots.begin(), snapshots.end(), count,
                               [](uint64_t c, const SSnapshot& s) { return c < s.count; });
    if (it != snapshots.begin())
        --it;
    if (!inPast) {
        inPast = true;
        presentCount = machine.kernel->GetInstructionCount();
    }
    Restore(*it);
    return it->count;
}

bool CMachineHistory::PreviousSnapshot(uint64_t count, uint64_t& previous) const {
    auto it = std::lower_bound(snapshots.begin(), snapshots.end(), count,
                               [](const SSnapshot& s, uint64_t c) { return s.count < c; });
    if (it == snapshots.begin())
        return false;
    previous = std::prev(it)->count;
    return true;
}

void CMachineHistory::Restore(const SSnapshot& snapshot) {
    CMemory& memory = *machine.memory;
    const size_t size = static_cast<size_t>(memory.GetSize());
    for (size_t page = 0; page < snapshot.pages.size() && page * kPageBytes < size; ++page)
        std::memcpy(memory.GetData() + page * kPageBytes, snapshot.pages[page]->data(),
                    std::min(snapshot.pages[page]->size(), size - page * kPageBytes));
    machine.screen->RestoreState(*snapshot.screen);
    for (size_t slot = 0; slot < snapshot.diskPositions.size(); ++slot) {
        if (static_cast<int32_t>(slot) < machine.diskCount && machine.disks[slot]->HasDisk())
            RestoreSlotPosition(*machine.disks[slot], snapshot.diskPositions[slot]);
    }
    ApplyMachineCore(machine, snapshot.core);
    // The program's reads from here on are answered from the notes; the host's events wait
    // for the present.
    std::vector<SRecordedItem> values;
    for (size_t i = snapshot.noteIndex; i < EndOfNotes(); ++i)
        if (NoteAt(i).type == SRecordedItem::EType::Value)
            values.push_back(NoteAt(i));
    gate.StartReplay(values, snapshot.core.timers);
    cursor = snapshot.noteIndex;
}

void CMachineHistory::DeliverDue() {
    const uint64_t count = machine.kernel->GetInstructionCount();
    for (; cursor < EndOfNotes(); ++cursor) {
        const SRecordedItem& note = NoteAt(cursor);
        if (note.type != SRecordedItem::EType::Event)
            continue;
        if (note.stamp > count)
            break;
        gate.DeliverEvent(note.event);
    }
}

uint64_t CMachineHistory::NextStop() const {
    for (size_t i = cursor; i < EndOfNotes(); ++i) {
        const SRecordedItem& note = NoteAt(i);
        if (note.type == SRecordedItem::EType::Event)
            return std::min(note.stamp, presentCount);
    }
    return presentCount;
}

bool CMachineHistory::ReachPresent() {
    if (!inPast ||
        (machine.kernel->IsRunning() && machine.kernel->GetInstructionCount() < presentCount))
        return false;
    // The events that came while the machine paused at the present.
    DeliverDue();
    inPast = false;
    gate.EndReplay();
    return true;
}

void CMachineHistory::Restart() {
    if (inPast) {
        // The timers the program runs at this point of its past, the host's from now on.
        const std::vector<SHostTimer> running = gate.GetRunningTimers();
        inPast = false;
        gate.EndReplay();
        for (const SHostTimer& timer : gate.GetRunningTimers())
            gate.StopTimer(timer.id);
        for (const SHostTimer& timer : running)
            gate.StartTimer(timer.id, timer.intervalMs);
    }
    snapshots.clear();
    snapshotBytes = 0;
    notes.clear();
    firstNote = 0;
    TakeSnapshot();
}
