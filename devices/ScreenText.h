// The text screen as lines of UTF-8, as a window would show it (the front buffer, the state
// of the last refresh): for hosts that print the screen instead of drawing it.
#pragma once

#include <string>
#include <vector>

class CScreen;

// One line per row; character 0 shows as a blank and trailing blanks are dropped. Empty
// outside text mode.
std::vector<std::string> TextScreenLines(const CScreen& screen);
