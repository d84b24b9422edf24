// Scripted input for hosts without a keyboard or mouse: a text of characters, {NAME} keys
// ({Enter}, {Esc}, {Tab}, {Back}, the cursor and editing keys, {F1} .. {F12}; {{} and {}}
// type the braces themselves) and the mouse items {Click X Y} and {Move X Y}. Each key is
// turned into the key press a window would see on a US keyboard: its virtual-key code and,
// for keys that produce one, the character in the machine's code page. A line break in the
// text is Enter.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CHeadlessPlatform;
class CMachine;

enum class EScriptedInput : uint8_t { Key, Click, Move };

struct SScriptedInput {
    uint32_t virtualKey = 0;
    bool hasCharacter = false;
    uint8_t character = 0; // Windows-1252
    EScriptedInput kind = EScriptedInput::Key;
    // Click and Move: a point of the window's client area, in pixels.
    int32_t x = 0;
    int32_t y = 0;

    bool operator==(const SScriptedInput&) const = default;
};

// Parses UTF-8 text. False with a description in `error` for an unknown key name (the
// description lists the names), a malformed mouse item, or a character the machine's code
// page cannot hold.
bool ParseKeyScript(const std::string& text, std::vector<SScriptedInput>& items,
                    std::string& error);

// Posts the events of one item as the window would. A key goes through the keyboard
// device (or straight to the kernel when the machine has none): key down, the character
// (when the key has one), key up; the platform's key state follows them. A click is a
// left-button press and release, a move a mouse move, at the point mapped as the window
// maps it; like the window, nothing is posted without a mouse and a screen, or while the
// screen cannot map the point.
void DeliverScriptedInput(const SScriptedInput& item, CMachine& machine,
                          CHeadlessPlatform& platform);
