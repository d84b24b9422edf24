// The host timers that programs start (group 1): one Qt timer per program identifier, living
// with the main window. Starting an identifier that runs already replaces its timer.
#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QTimer;

class CHostTimers : public QObject {
    Q_OBJECT
public:
    // Intervals are clamped like window timers: at least 10 ms, at most 2^31 - 1 ms.
    static constexpr uint32_t kMinimumInterval = 10;
    static constexpr uint32_t kMaximumInterval = 0x7FFFFFFF;

    using Sink = std::function<void(uint32_t id)>;
    explicit CHostTimers(Sink onTimeout, QObject* parent = nullptr);
    ~CHostTimers() override;

    bool Start(uint32_t id, uint32_t intervalMs);
    // False when no timer with that identifier runs.
    bool Stop(uint32_t id);
    void StopAll();

    bool IsRunning(uint32_t id) const { return timers.count(id) > 0; }
    size_t GetCount() const { return timers.size(); }
    // The interval a running timer was started with (after clamping); 0 when none runs.
    int GetInterval(uint32_t id) const;
    // The running identifiers in ascending order.
    std::vector<uint32_t> GetIds() const;

private:
    Sink onTimeout;
    std::map<uint32_t, std::unique_ptr<QTimer>> timers;
};
