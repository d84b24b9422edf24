// The events that wait in the kernel's queue, as a debugger shows them.
#pragma once

#include "core/Event.h"

#include <string>

// One line for an event: what it is and the fields its record carries, e.g.
// "key down, virtual key 0x41" or "mouse left double click at (10, 20), flags 0x0001".
std::string DescribeEvent(const CEvent& event);
