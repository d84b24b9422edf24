#include "host/ThreadPriority.h"

#include <array>
#include <sys/resource.h>
#include <unistd.h>

int NiceValueFor(EThreadPriority priority) {
    static constexpr std::array<int, 7> kNiceValues = {19, 10, 5, 0, -5, -10, -20};
    const auto index = static_cast<size_t>(priority);
    return index < kNiceValues.size() ? kNiceValues[index] : 0;
}

void ApplyThreadPriority(EThreadPriority priority) {
    // On Linux a nice value set for a thread id applies to that thread alone.
    const int result =
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), NiceValueFor(priority));
    (void)result;
}
