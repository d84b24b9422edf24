#include "devices/ScreenText.h"

#include "devices/Screen.h"
#include "support/TextFunctions.h"

std::vector<std::string> TextScreenLines(const CScreen& screen) {
    int32_t mode, width, height;
    screen.GetMode(mode, width, height);
    std::vector<std::string> lines;
    if (mode != kScreenText)
        return lines;
    const std::vector<STextCell>& cells = screen.GetFrontBuffer();
    std::string row;
    for (int32_t y = 0; y < height; ++y) {
        row.clear();
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t c = cells[static_cast<size_t>(y) * width + x].character;
            row += c == 0 ? ' ' : static_cast<char>(c);
        }
        const size_t end = row.find_last_not_of(' ');
        row.erase(end == std::string::npos ? 0 : end + 1);
        lines.push_back(qm::CodePageToUtf8(row));
    }
    return lines;
}
