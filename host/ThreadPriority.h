// The thread priority codes of the machine configuration (Kernel.Priority 0..6, idle to
// time critical) as nice values of the thread that runs the machine.
#pragma once

#include "core/Platform.h"

// The nice value that stands for a priority: 19 for idle down to -20 for time critical.
int NiceValueFor(EThreadPriority priority);

// Sets the calling thread's nice value. A change the system refuses (raising the priority
// without the right to) is ignored: the machine runs at the priority it has.
void ApplyThreadPriority(EThreadPriority priority);
