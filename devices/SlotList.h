// Slot lists of the machine configuration ("Read-only", "Remember" in section "Disks"):
// comma-separated slot numbers and ranges such as "0, 3-5, 8-". In a range an empty start
// means the first slot and an empty end the last one; numbers outside the configured slots
// are ignored.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One flag per slot 0 .. count-1: true when the list names that slot.
std::vector<bool> ParseSlotList(const std::string& list, int32_t count);
