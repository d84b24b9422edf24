// Scripted typing for hosts without a keyboard: a text of characters and {NAME} keys
// ({Enter}, {Esc}, {Tab}, {Back}, {Left}, {Right}, {Up}, {Down}, {Space}, {F1} .. {F12};
// {{} and {}} type the braces themselves), each turned into the key press a window would
// see on a US keyboard: its virtual-key code and, for keys that produce one, the character
// in the machine's code page. A line break in the text is Enter.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CHeadlessPlatform;
class CMachine;

struct SScriptedKey {
    uint32_t virtualKey = 0;
    bool hasCharacter = false;
    uint8_t character = 0; // Windows-1252

    bool operator==(const SScriptedKey&) const = default;
};

// Parses UTF-8 text. False with a description in `error` for an unknown key name or a
// character the machine's code page cannot hold.
bool ParseKeyScript(const std::string& text, std::vector<SScriptedKey>& keys, std::string& error);

// Posts the events of one key press, as the window procedure would through the keyboard
// device (or straight to the kernel when the machine has none): key down, the character
// (when the key has one), key up. The platform's key state follows them.
void DeliverScriptedKey(const SScriptedKey& key, CMachine& machine, CHeadlessPlatform& platform);
