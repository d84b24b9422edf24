#include "host/KeyScript.h"

#include "core/Kernel.h"
#include "core/Machine.h"
#include "devices/Keyboard.h"
#include "devices/Mouse.h"
#include "devices/Screen.h"
#include "host/HeadlessPlatform.h"
#include "support/TextFunctions.h"

#include <array>
#include <charconv>
#include <cstring>

namespace {

// Virtual-key codes.
constexpr uint32_t kVkBack = 0x08;
constexpr uint32_t kVkTab = 0x09;
constexpr uint32_t kVkReturn = 0x0D;
constexpr uint32_t kVkEscape = 0x1B;
constexpr uint32_t kVkSpace = 0x20;
constexpr uint32_t kVkPageUp = 0x21;
constexpr uint32_t kVkPageDown = 0x22;
constexpr uint32_t kVkEnd = 0x23;
constexpr uint32_t kVkHome = 0x24;
constexpr uint32_t kVkLeft = 0x25;
constexpr uint32_t kVkUp = 0x26;
constexpr uint32_t kVkRight = 0x27;
constexpr uint32_t kVkDown = 0x28;
constexpr uint32_t kVkInsert = 0x2D;
constexpr uint32_t kVkDelete = 0x2E;
constexpr uint32_t kVkF1 = 0x70;
// The key code that carries characters which no key of the layout produces.
constexpr uint32_t kVkPacket = 0xE7;

SScriptedInput KeyWithCharacter(uint32_t virtualKey, uint8_t character) {
    return {virtualKey, true, character};
}

struct SNamedKey {
    const char* name;
    SScriptedInput key;
};

SScriptedInput KeyWithoutCharacter(uint32_t virtualKey) {
    return {virtualKey, false, 0};
}

// The short names first: the error for an unknown name lists them in this order.
const std::array<SNamedKey, 21> kNamedKeys = {{
    {"Enter", KeyWithCharacter(kVkReturn, '\r')},
    {"Esc", KeyWithCharacter(kVkEscape, 0x1B)},
    {"Tab", KeyWithCharacter(kVkTab, '\t')},
    {"Back", KeyWithCharacter(kVkBack, 0x08)},
    {"Left", KeyWithoutCharacter(kVkLeft)},
    {"Right", KeyWithoutCharacter(kVkRight)},
    {"Up", KeyWithoutCharacter(kVkUp)},
    {"Down", KeyWithoutCharacter(kVkDown)},
    {"Space", KeyWithCharacter(kVkSpace, ' ')},
    {"Home", KeyWithoutCharacter(kVkHome)},
    {"End", KeyWithoutCharacter(kVkEnd)},
    {"PgUp", KeyWithoutCharacter(kVkPageUp)},
    {"PgDn", KeyWithoutCharacter(kVkPageDown)},
    {"Ins", KeyWithoutCharacter(kVkInsert)},
    {"Del", KeyWithoutCharacter(kVkDelete)},
    {"Escape", KeyWithCharacter(kVkEscape, 0x1B)},
    {"Backspace", KeyWithCharacter(kVkBack, 0x08)},
    {"Insert", KeyWithoutCharacter(kVkInsert)},
    {"Delete", KeyWithoutCharacter(kVkDelete)},
    {"PageUp", KeyWithoutCharacter(kVkPageUp)},
    {"PageDown", KeyWithoutCharacter(kVkPageDown)},
}};

std::string KeyNameList() {
    std::string list;
    for (size_t i = 0; i < kNamedKeys.size(); ++i) {
        list += (i == 0 ? "{" : ", {");
        list += kNamedKeys[i].name;
        list += '}';
        if (i + 1 < kNamedKeys.size() && std::strcmp(kNamedKeys[i].name, "Del") == 0)
            list += ", {F1}..{F12}";
    }
    return list + ", {Click X Y}, {Move X Y}";
}

bool FindNamedKey(const std::string& name, SScriptedInput& key) {
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
                key = KeyWithoutCharacter(kVkF1 + static_cast<uint32_t>(number - 1));
                return true;
            }
        }
    }
    return false;
}

// A coordinate of a mouse item: an optionally negative decimal that fits the signed 16
// bits a window message carries.
bool ParseCoordinate(const std::string& text, int32_t& value) {
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && error == std::errc() && rest == end && value >= INT16_MIN &&
           value <= INT16_MAX;
}

// "Click X Y" or "Move X Y", the words separated by blanks. False when the name is neither
// word; then `malformed` says whether it began like one.
bool FindMouseItem(const std::string& name, SScriptedInput& item, bool& malformed) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < name.size()) {
        const size_t start = name.find_first_not_of(' ', i);
        if (start == std::string::npos)
            break;
        const size_t end = std::min(name.find(' ', start), name.size());
        words.push_back(name.substr(start, end - start));
        i = end;
    }
    malformed = false;
    if (words.empty())
        return false;
    if (qm::EqualsNoCase(words[0], "Click"))
        item.kind = EScriptedInput::Click;
    else if (qm::EqualsNoCase(words[0], "Move"))
        item.kind = EScriptedInput::Move;
    else
        return false;
    if (words.size() == 3 && ParseCoordinate(words[1], item.x) && ParseCoordinate(words[2], item.y))
        return true;
    malformed = true;
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

SScriptedInput KeyForCharacter(uint8_t character) {
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

bool ParseBraced(const std::string& text, size_t& i, std::vector<SScriptedInput>& keys,
                 std::string& error) {
    if (text.compare(i, 3, "{{}") == 0 || text.compare(i, 3, "{}}") == 0) {
        keys.push_back(KeyForCharacter(static_cast<uint8_t>(text[i + 1])));
        i += 3;
        return true;
    }
    const size_t close = text.find('}', i);
    const std::string name =
        text.substr(i + 1, close == std::string::npos ? std::string::npos : close - i - 1);
    const std::string braced = "{" + name + (close == std::string::npos ? "" : "}");
    if (close == std::string::npos) {
        error = "unclosed key name " + braced + " (type {{} for a brace)";
        return false;
    }
    SScriptedInput item;
    bool malformed = false;
    if (FindNamedKey(name, item) || FindMouseItem(name, item, malformed)) {
        keys.push_back(item);
        i = close + 1;
        return true;
    }
    if (malformed)
        error = braced + ": expected {Click X Y} or {Move X Y} with X and Y whole numbers "
                         "of client-area pixels";
    else
        error = "unknown key name " + braced + "; the names are " + KeyNameList() +
                ", in any letter case ({{} and {}} type braces)";
    return false;
}

} // namespace

bool ParseKeyScript(const std::string& text, std::vector<SScriptedInput>& keys,
                    std::string& error) {
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

namespace {

void DeliverKey(const SScriptedInput& key, CMachine& machine, CHeadlessPlatform& platform) {
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

void DeliverMouse(const SScriptedInput& item, CMachine& machine) {
    if (!machine.mouse || !machine.screen)
        return;
    int32_t x = item.x;
    int32_t y = item.y;
    if (!machine.screen->MapPoint(x, y))
        return;
    if (item.kind == EScriptedInput::Move) {
        machine.mouse->Move(0, x, y);
        return;
    }
    // The press carries the left button in its flags, the release no longer does.
    machine.mouse->Button(EMouseButton::Left, EMouseAction::Down, kMouseLeft, x, y);
    machine.mouse->Button(EMouseButton::Left, EMouseAction::Up, 0, x, y);
}

} // namespace

void DeliverScriptedInput(const SScriptedInput& item, CMachine& machine,
                          CHeadlessPlatform& platform) {
    if (item.kind == EScriptedInput::Key)
        DeliverKey(item, machine, platform);
    else
        DeliverMouse(item, machine);
}
