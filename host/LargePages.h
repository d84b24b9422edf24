// Buffers of many megabytes that are written whole at once (a machine's memory image as a
// state is loaded or captured). The host maps a fresh buffer page by page as it is first
// written, one fault per page; where the host has large pages (2 MB), the buffer asks for
// them and takes 512 times fewer faults. On a virtual machine a fault can cost several
// microseconds, which for 16 MB of 4 KB pages is tens of milliseconds.
#pragma once

#include <cstdint>

class CMemoryImage;

// A memory image for `size` bytes (at least 1) whose contents the caller writes. False, and
// the image empty, when the memory cannot be had.
bool AllocateMemoryImage(CMemoryImage& image, uint32_t size);
