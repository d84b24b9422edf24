#include "host/KeyScript.h"

#include "core/Kernel.h"
#include "core/Machine.h"
#include "devices/Keyboard.h"
#include "host/HeadlessPlatform.h"
#include "support/TextFunctions.h"

#include <array>
#include <cstring>

namespace {

// Virtual-key codes.
constexpr uint32_t kVkBack = 0x08;
constexpr uint32_t kVkTab = 0x09;
constexpr uint32_t kVkReturn = 0x0D;
constexpr uint32_t kVkEscape = 0x1B;
constexpr uint32_t kVkSpace = 0x20;
constexpr uint32_t kVkLeft = 0x25;
constexpr uint32_t kVkUp = 0x26;
constexpr uint32_t kVkRight = 0x27;
constexpr uint32_t kVkDown = 0x28;
constexpr uint32_t kVkF1 = 0x70;
// The key code that carries characters which no key of the layout produces.
constexpr uint32_t kVkPacket = 0xE7;

SScriptedKey KeyWithCharacter(uint32_t virtualKey, uint8_t character) {
    return {virtualKey, true, character};
}

struct SNamedKey {
    const char* name;
    SScriptedKey key;
};

const std::array<SNamedKey, 9> kNamedKeys = {{
    {"Enter", KeyWithCharacter(kVkReturn, '\r')},
    {"Esc", KeyWithCharacter(kVkEscape, 0x1B)},
    {"Tab", KeyWithCharacter(kVkTab, '\t')},
    {"Back", KeyWithCharacter(kVkBack, 0x08)},
    {"Space", KeyWithCharacter(kVkSpace, ' ')},
    {"Left", {kVkLeft, false, 0}},
    {"Right", {kVkRight, false, 0}},
    {"Up", {kVkUp, false, 0}},
    {"Down", {kVkDown, false, 0}},
}};

bool FindNamedKey(const std::string& name, SScriptedKey& key) {
    for (const SNamedKey& named : kNamedKeys) {
        if (qm::EqualsNoCase(name, named.name)) {
            key = named.key;
            return true;
        }
    }
    // F1 .. F12
    if (name.size() >= 2 && (name[0] == 'F' || name[0] == 'f')) {
        const std::string digits = name.substr(1);
        if (digits.find_first_not_of("0123456789") == std::string::npos && digits.size() <= 2) {
            const int number = std::stoi(digits);
            if (number >= 1 && number <= 12 && digits[0] != '0') {
                key = {kVkF1 + static_cast<uint32_t>(number - 1), false, 0};
                return true;
            }
        }
    }
    return false;
}

// The key of a US keyboard that types a printable ASCII character.
uint32_t VirtualKeyForAscii(char c) {
    if (c >= 'a' && c <= 'z')
        return static_cast<uint32_t>(c - 'a' + 'A');
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ')
        return static_cast<uint32_t>(c);
    // Shifted digits, then the punctuation keys by their key codes.
    static const char* const kShiftedDigits = ")!@#$%^&*(";
    if (const char* p = std::strchr(kShiftedDigits, c); p && c)
        return static_cast<uint32_t>('0' + (p - kShiftedDigits));
    struct SPunctuation {
        const char* characters;
        uint32_t virtualKey;
    };
    static const SPunctuation kPunctuation[] = {
        {";:", 0xBA}, {"=+", 0xBB}, {",<", 0xBC},  {"-_", 0xBD}, {".>", 0xBE},  {"/?", 0xBF},
        {"`~", 0xC0}, {"[{", 0xDB}, {"\\|", 0xDC}, {"]}", 0xDD}, {"'\"", 0xDE},
    };
    for (const SPunctuation& key : kPunctuation) {
        if (c && std::strchr(key.characters, c))
            return key.virtualKey;
    }
    return kVkPacket;
}

SScriptedKey KeyForCharacter(uint8_t character) {
    switch (character) {
    case '\t':
        return KeyWithCharacter(kVkTab, character);
    case 0x08:
        return KeyWithCharacter(kVkBack, character);
    case 0x1B:
        return KeyWithCharacter(kVkEscape, character);
    default:
        break;
    }
    if (character < 0x80)
        return KeyWithCharacter(VirtualKeyForAscii(static_cast<char>(character)), character);
    return KeyWithCharacter(kVkPacket, character);
}

// The length of the UTF-8 sequence that starts with `lead`, 0 when it cannot start one.
size_t SequenceLength(uint8_t lead) {
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    if ((lead & 0xF8) == 0xF0)
        return 4;
    return 0;
}

bool ParseBraced(const std::string& text, size_t& i, std::vector<SScriptedKey>& keys,
                 std::string& error) {
    if (text.compare(i, 3, "{{}") == 0 || text.compare(i, 3, "{}}") == 0) {
        keys.push_back(KeyForCharacter(static_cast<uint8_t>(text[i + 1])));
        i += 3;
        return true;
    }
    const size_t close = text.find('}', i);
    const std::string name =
        text.substr(i + 1, close == std::string::npos ? std::string::npos : close - i - 1);
    SScriptedKey key;
    if (close == std::string::npos || !FindNamedKey(name, key)) {
        error = "unknown key name {" + name + (close == std::string::npos ? "" : "}") +
                " (type {{} for a brace)";
        return false;
    }
    keys.push_back(key);
    i = close + 1;
    return true;
}

} // namespace

bool ParseKeyScript(const std::string& text, std::vector<SScriptedKey>& keys, std::string& error) {
    keys.clear();
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '{') {
            if (!ParseBraced(text, i, keys, error))
                return false;
            continue;
        }
        if (c == '\r' || c == '\n') {
            // CR LF is one line break.
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            keys.push_back(KeyWithCharacter(kVkReturn, '\r'));
            continue;
        }
        const size_t length = SequenceLength(static_cast<uint8_t>(c));
        const std::string sequence = text.substr(i, length);
        const std::string converted =
            length == 0 || sequence.size() != length ? "" : qm::Utf8ToCodePage(sequence);
        if (converted.size() != 1) {
            error = "character \"" + text.substr(i, length == 0 ? 1 : length) +
                    "\" has no code in the machine's code page";
            return false;
        }
        keys.push_back(KeyForCharacter(static_cast<uint8_t>(converted[0])));
        i += length;
    }
    return true;
}

void DeliverScriptedKey(const SScriptedKey& key, CMachine& machine, CHeadlessPlatform& platform) {
    auto postKey = [&machine](uint32_t up, uint32_t virtualKey) {
        if (machine.keyboard)
            machine.keyboard->Key(up, virtualKey);
        else if (machine.kernel)
            machine.kernel->PostKeyEvent(up, virtualKey);
    };
    platform.SetKeyDown(key.virtualKey, true);
    postKey(0, key.virtualKey);
    if (key.hasCharacter) {
        if (machine.keyboard)
            machine.keyboard->Character(key.character);
        else if (machine.kernel)
            machine.kernel->PostCharEvent(key.character);
    }
    platform.SetKeyDown(key.virtualKey, false);
    postKey(1, key.virtualKey);
}
