#include "support/TextFunctions.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {
namespace {

// What one byte of the code page stands for.
struct SCodePageChar {
    char32_t codePoint; // the Unicode character; the byte itself for unassigned bytes
    uint8_t upper;      // the byte of the upper-case character, or the byte itself
    uint8_t lower;      // the byte of the lower-case character, or the byte itself
    bool letter;        // a Unicode letter category (Lu, Ll, Lt, Lm, Lo)
    bool digit;         // Unicode category Nd
};

// The characters of bytes 0x80..0x9F; 0 marks the five bytes the code page leaves unassigned.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool IsAssigned(int byte) {
    return byte < 0x80 || byte > 0x9F || kHighControls[byte - 0x80] != 0;
}

char32_t CodePointOf(int byte) {
    if (byte >= 0x80 && byte <= 0x9F && kHighControls[byte - 0x80] != 0)
        return kHighControls[byte - 0x80];
    return static_cast<char32_t>(byte);
}

bool IsLetterCodePoint(char32_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
        return true;
    switch (c) {
    case 0x0192: // f with hook
    case 0x02C6: // modifier letter circumflex (Lm)
    case 0x0160:
    case 0x0161:
    case 0x0152:
    case 0x0153:
    case 0x017D:
    case 0x017E:
    case 0x0178:
    case 0x00AA: // feminine ordinal indicator (Lo)
    case 0x00B5: // micro sign (Ll)
    case 0x00BA: // masculine ordinal indicator (Lo)
        return true;
    default:
        break;
    }
    return c >= 0xC0 && c <= 0xFF && c != 0xD7 && c != 0xF7;
}

// Pairs of bytes that are the upper and lower case of one letter, beyond ASCII and the
// Latin-1 block (whose pairs differ by 0x20).
constexpr std::array<std::pair<uint8_t, uint8_t>, 4> kExtraCasePairs = {
    {{0x8A, 0x9A}, {0x8C, 0x9C}, {0x8E, 0x9E}, {0x9F, 0xFF}}};

std::array<SCodePageChar, 256> BuildCodePageTable() {
    std::array<SCodePageChar, 256> table{};
    for (int byte = 0; byte < 256; ++byte) {
        SCodePageChar& entry = table[byte];
        entry.codePoint = CodePointOf(byte);
        entry.upper = entry.lower = static_cast<uint8_t>(byte);
        if (!IsAssigned(byte))
            continue;
        entry.letter = IsLetterCodePoint(entry.codePoint);
        entry.digit = byte >= '0' && byte <= '9';
    }
    auto pair = [&table](int upper, int lower) {
        table[upper].lower = static_cast<uint8_t>(lower);
        table[lower].upper = static_cast<uint8_t>(upper);
    };
    for (int byte = 'A'; byte <= 'Z'; ++byte)
        pair(byte, byte + 0x20);
    for (int byte = 0xC0; byte <= 0xDE; ++byte) {
        if (byte != 0xD7)
            pair(byte, byte + 0x20);
    }
    for (const auto& [upper, lower] : kExtraCasePairs)
        pair(upper, lower);
    return table;
}

const std::array<SCodePageChar, 256>& CodePage() {
    static const std::array<SCodePageChar, 256> table = BuildCodePageTable();
    return table;
}

bool IsWhiteSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

size_t SkipWhiteSpace(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && IsWhiteSpace(text[i]))
        ++i;
    return i;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes one UTF-8 sequence at `i` and moves past it; a malformed byte decodes as
// itself, so Latin-1 text that is not UTF-8 still converts sensibly.
char32_t DecodeUtf8(const std::string& text, size_t& i) {
    const auto lead = static_cast<uint8_t>(text[i++]);
    int length = 0;
    char32_t c = lead;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 1;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 2;
        c = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 3;
        c = lead & 0x07;
    }
    if (length == 0 || i + length > text.size())
        return lead;
    char32_t value = c;
    for (int k = 0; k < length; ++k) {
        const auto next = static_cast<uint8_t>(text[i + k]);
        if ((next & 0xC0) != 0x80)
            return lead;
        value = (value << 6) | (next & 0x3F);
    }
    i += length;
    return value;
}

} // namespace

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

void Trim(std::string& text) {
    size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1]))
        --end;
    size_t begin = 0;
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    text = text.substr(begin, end - begin);
}

uint8_t CharToUpper(uint8_t c) {
    return CodePage()[c].upper;
}
uint8_t CharToLower(uint8_t c) {
    return CodePage()[c].lower;
}
bool IsCharAlpha(uint8_t c) {
    return CodePage()[c].letter;
}
bool IsCharAlphaNumeric(uint8_t c) {
    return CodePage()[c].letter || CodePage()[c].digit;
}

void ToLower(std::string& text) {
    for (char& c : text)
        c = static_cast<char>(CharToLower(static_cast<uint8_t>(c)));
}

std::string LowerCopy(const std::string& text) {
    std::string copy = text;
    ToLower(copy);
    return copy;
}

void ToUpper(std::string& text) {
    for (char& c : text)
        c = static_cast<char>(CharToUpper(static_cast<uint8_t>(c)));
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (CharToUpper(static_cast<uint8_t>(a[i])) != CharToUpper(static_cast<uint8_t>(b[i])))
            return false;
    }
    return true;
}

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

std::string UIntToStr(uint64_t value, int radix) {
    if (radix < 2 || radix > 36)
        return {};
    char buffer[72];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, radix);
    return std::string(buffer, result.ptr);
}

std::string IntToStr(int64_t value, int radix) {
    // Only decimal text carries a sign; other radices show the two's-complement bits.
    if (radix != 10)
        return UIntToStr(static_cast<uint64_t>(value), radix);
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

int32_t StrToInt(const std::string& text) {
    size_t i = SkipWhiteSpace(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    // Accumulate with saturation: an overlong number gives the nearest representable value.
    int64_t magnitude = 0;
    const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > limit)
            magnitude = limit;
    }
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

double StrToFloat(const std::string& text) {
    size_t i = SkipWhiteSpace(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i < text.size() && text[i] == '-')
        return 0.0; // a second sign is not a number
    double value = 0.0;
    const auto result = std::from_chars(text.data() + i, text.data() + text.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone on overflow and underflow; decide by the exponent.
        const std::string number(text.data() + i, result.ptr);
        value = std::strtod(number.c_str(), nullptr);
    } else if (result.ec != std::errc()) {
        return 0.0;
    }
    return negative ? -value : value;
}

bool StrToBool(const std::string& text) {
    if (text.empty() || text == "0")
        return false;
    const std::string lower = LowerCopy(text);
    return lower != "f" && lower != "false";
}

std::string BoolToStr(bool value, char style) {
    switch (style) {
    case '0':
        return value ? "1" : "0";
    case 'F':
        return value ? "True" : "False";
    case 'G':
        return value ? "T" : "F";
    case 'U':
        return value ? "TRUE" : "FALSE";
    case 'g':
        return value ? "t" : "f";
    default:
        return value ? "true" : "false";
    }
}

bool NextToken(const std::string& text, std::string& token, size_t& position) {
    size_t i = position;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    if (i >= text.size()) {
        position = i;
        return false;
    }
    if (text[i] == '"') {
        const size_t close = text.find('"', i + 1);
        if (close == std::string::npos) {
            token = text.substr(i + 1);
            position = text.size();
        } else {
            token = text.substr(i + 1, close - i - 1);
            position = close + 1;
        }
        return true;
    }
    size_t end = i;
    while (end < text.size() && !IsBlank(text[end]))
        ++end;
    token = text.substr(i, end - i);
    position = end < text.size() ? end + 1 : end;
    return true;
}

bool NextLine(const std::string& text, std::string& line, size_t& position) {
    if (position >= text.size())
        return false;
    const size_t end = text.find_first_of("\r\n", position);
    if (end == std::string::npos) {
        line = text.substr(position);
        position = text.size();
        return true;
    }
    line = text.substr(position, end - position);
    position = end + 1;
    if (text[end] == '\r' && position < text.size() && text[position] == '\n')
        ++position;
    return true;
}

bool NextPart(const std::string& text, const std::string& delimiter, std::string& part,
              size_t& position) {
    if (delimiter.empty() || position >= text.size())
        return false;
    const size_t end = text.find(delimiter, position);
    if (end == std::string::npos) {
        part = text.substr(position);
        position = text.size();
    } else {
        part = text.substr(position, end - position);
        position = end + delimiter.size();
    }
    return true;
}

std::string ProgramPath() {
    std::string path(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0)
        return {};
    path.resize(static_cast<size_t>(length));
    return path;
}

std::string ProgramDirectory() {
    const std::string path = ProgramPath();
    const size_t separator = path.find_last_of("/\\:");
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

std::string FileNamePart(const std::string& path) {
    const size_t separator = path.find_last_of("/\\:");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string ChangeExtension(const std::string& path, const std::string& extension) {
    const size_t last = path.find_last_of("./\\:");
    if (last != std::string::npos && path[last] == '.')
        return path.substr(0, last) + extension;
    return path + extension;
}

bool ReadWholeFile(const std::string& path, std::string& text) {
    const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return false;
    std::string content;
    char buffer[1024];
    for (;;) {
        const ssize_t count = read(file, buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            const int saved = errno;
            close(file);
            errno = saved;
            return false;
        }
        if (count == 0)
            break;
        content.append(buffer, static_cast<size_t>(count));
    }
    close(file);
    text = std::move(content);
    return true;
}

namespace {

bool WriteAll(int file, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const size_t piece = std::min<size_t>(1024, text.size() - done);
        const ssize_t count = write(file, text.data() + done, piece);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(count);
    }
    return true;
}

bool CloseKeepingErrno(int file, bool ok) {
    const int saved = errno;
    const bool closed = close(file) == 0;
    if (!ok)
        errno = saved;
    return ok && closed;
}

} // namespace

bool WriteWholeFile(const std::string& path, const std::string& text) {
    const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (file < 0)
        return false;
    return CloseKeepingErrno(file, WriteAll(file, text));
}

bool ReplaceWholeFile(const std::string& name, const std::string& text) {
    // A link to the file stays a link: replace the file it points to.
    std::string path = name;
    if (char* resolved = realpath(name.c_str(), nullptr)) {
        path = resolved;
        std::free(resolved);
    }
    // Write a temporary file beside the target, make it durable, then rename it over the
    // target: a failure at any step leaves the previous file whole.
    std::string temporary = path + ".XXXXXX";
    const int file = mkostemp(temporary.data(), O_CLOEXEC);
    if (file < 0)
        return false;
    // mkostemp creates the file private to its owner; keep the permissions of the file
    // being replaced, or give a new one the usual permissions.
    struct stat previous {};
    mode_t mode = 0;
    if (stat(path.c_str(), &previous) == 0) {
        mode = previous.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    bool ok = fchmod(file, mode) == 0 && WriteAll(file, text) && fsync(file) == 0;
    ok = CloseKeepingErrno(file, ok);
    if (ok)
        ok = rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        const int saved = errno;
        unlink(temporary.c_str());
        errno = saved;
    }
    return ok;
}

std::string CodePageToUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        AppendUtf8(out, CodePage()[static_cast<uint8_t>(c)].codePoint);
    return out;
}

std::string Utf8ToCodePage(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const char32_t c = DecodeUtf8(text, i);
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out += static_cast<char>(c);
            continue;
        }
        for (int byte = 0x80; byte <= 0x9F; ++byte) {
            if (CodePage()[byte].codePoint == c) {
                out += static_cast<char>(byte);
                break;
            }
        }
    }
    return out;
}

} // namespace qm
