// How the window shows the machine: fullscreen, the scale, the pixel gap, and whether a
// rewritten boot disk resets the machine. Kept in a file of the window's own beside the two
// settings files, so that Tarquil2.ini holds only what the machine's devices write.
#pragma once

#include <string>

struct SViewSettings {
    static constexpr const char* kFileName = "TarquilView.ini";
    static constexpr int kMaxScale = 6;

    bool fullscreen = false;
    // 0: the picture fits the window; 1 to kMaxScale: that many window pixels per machine
    // pixel (a text cell's pixels too), and the window takes that size.
    int scale = 0;
    // A black line between the blocks of large graphics scales.
    bool pixelGap = true;
    bool reloadOnChange = false;

    // Missing or unreadable files and values give the defaults; values out of range are
    // brought into it.
    static SViewSettings Load(const std::string& path);
    bool Save(const std::string& path) const;

    bool operator==(const SViewSettings&) const = default;
};
