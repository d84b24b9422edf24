#include "host/qt/HostTimers.h"

#include <QTimer>

#include <algorithm>

CHostTimers::CHostTimers(Sink onTimeout, QObject* parent)
    : QObject(parent), onTimeout(std::move(onTimeout)) {}

CHostTimers::~CHostTimers() = default;

bool CHostTimers::Start(uint32_t id, uint32_t intervalMs) {
    auto timer = std::make_unique<QTimer>();
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(
        static_cast<int>(std::clamp(intervalMs, kMinimumInterval, kMaximumInterval)));
    connect(timer.get(), &QTimer::timeout, this, [this, id] {
        if (onTimeout)
            onTimeout(id);
    });
    timer->start();
    timers[id] = std::move(timer);
    return true;
}

bool CHostTimers::Stop(uint32_t id) {
    return timers.erase(id) > 0;
}

void CHostTimers::StopAll() {
    timers.clear();
}

int CHostTimers::GetInterval(uint32_t id) const {
    const auto found = timers.find(id);
    return found == timers.end() ? 0 : found->second->interval();
}

std::vector<uint32_t> CHostTimers::GetIds() const {
    std::vector<uint32_t> ids;
    for (const auto& entry : timers)
        ids.push_back(entry.first);
    return ids;
}
