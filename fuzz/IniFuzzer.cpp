// fuzz-ini: parse, serialise and parse again. A text either parses, and then its
// serialisation parses to the same document, or it fails, and then it fails the same way
// every time while the part read before the fault still serialises and parses.
//
// "The same document": the same sections and, in each, the same keys and comments in the
// same order with the same texts. Two differences are by design: the writer puts an empty
// line before every section header that does not follow one, and a value that begins and
// ends with a quotation mark (and no blank) loses that pair when it is read back.
#include "support/INIError.h"
#include "support/INIFile.h"
#include "support/TextFunctions.h"

#include "FuzzInput.h"

#include <optional>
#include <string>

namespace {

struct SParseError {
    int32_t kind;
    uint32_t position, row, column;
    bool operator==(const SParseError&) const = default;
};

std::optional<SParseError> Parse(qm::CINIFile& document, const std::string& text) {
    try {
        document.Parse(text);
        return std::nullopt;
    } catch (const qm::CINIError& error) {
        (void)qm::DescribeINIError(error);
        return SParseError{error.kind, error.position, error.row, error.column};
    }
}

std::string Serialize(const qm::CINIFile& document) {
    std::string text;
    try {
        document.Serialize(text);
    } catch (const qm::CINIError&) {
        FuzzFinding("a parsed document cannot be serialised");
    }
    return text;
}

// What a value becomes when it is written and read again.
std::string ValueAfterRoundTrip(const std::string& value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"' &&
        !qm::IsBlank(value.front()) && !qm::IsBlank(value.back()))
        return value.substr(1, value.size() - 2);
    return value;
}

// The non-empty items of a section.
std::vector<const qm::CINIInfo*> Items(const qm::CINISection& section) {
    std::vector<const qm::CINIInfo*> items;
    for (const auto& item : section.items) {
        if (item)
            items.push_back(item.get());
    }
    return items;
}

// Compares `read` (parsed from the serialisation of `original`) with `original`; true when
// no value changed on the way.
bool CompareAfterRoundTrip(const qm::CINIFile& original, const qm::CINIFile& read) {
    if (original.GetSectionCount() != read.GetSectionCount())
        FuzzFinding("the round trip changed the number of sections");
    bool exact = true;
    for (size_t s = 0; s < original.GetSectionCount(); ++s) {
        const qm::CINISection& a = original.GetSection(s);
        const qm::CINISection& b = read.GetSection(s);
        if (a.name != b.name)
            FuzzFinding("the round trip changed a section name");
        const auto itemsA = Items(a);
        const auto itemsB = Items(b);
        if (itemsA.size() != itemsB.size())
            FuzzFinding("the round trip changed the number of items of a section");
        for (size_t i = 0; i < itemsA.size(); ++i) {
            const auto* keyA = dynamic_cast<const qm::CINIKey*>(itemsA[i]);
            const auto* keyB = dynamic_cast<const qm::CINIKey*>(itemsB[i]);
            const auto* commentA = dynamic_cast<const qm::CINIComment*>(itemsA[i]);
            const auto* commentB = dynamic_cast<const qm::CINIComment*>(itemsB[i]);
            if (keyA && keyB) {
                if (keyA->name != keyB->name || keyB->value != ValueAfterRoundTrip(keyA->value))
                    FuzzFinding("the round trip changed a key");
                exact = exact && keyA->value == keyB->value;
            } else if (commentA && commentB) {
                if (commentA->text != commentB->text)
                    FuzzFinding("the round trip changed a comment");
            } else {
                FuzzFinding("the round trip changed the kind of an item");
            }
        }
    }
    return exact;
}

// Serialises `document`, parses the text and compares.
void CheckRoundTrip(const qm::CINIFile& document) {
    const std::string text = Serialize(document);
    qm::CINIFile again;
    if (Parse(again, text))
        FuzzFinding("a serialised document does not parse");
    // Once the values are as the file keeps them, writing again gives the very same text.
    if (CompareAfterRoundTrip(document, again) && Serialize(again) != text)
        FuzzFinding("a document read back serialises differently");
}

// The typed lookups on every key: they never throw.
void LookUpEveryKey(const qm::CINIFile& document) {
    for (size_t s = 0; s < document.GetSectionCount(); ++s) {
        const qm::CINISection& section = document.GetSection(s);
        for (const auto& item : section.items) {
            const auto* key = dynamic_cast<const qm::CINIKey*>(item.get());
            if (!key)
                continue;
            int32_t number = 0;
            bool flag = false;
            std::string text;
            document.GetInt(section.name, key->name, number);
            document.GetBool(section.name, key->name, flag);
            document.GetString(section.name, key->name, text);
            if (text != key->value && document.FindSection(section.name) == static_cast<int32_t>(s))
                FuzzFinding("a lookup found another value than the first key of that name");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    qm::CINIFile first;
    const std::optional<SParseError> error = Parse(first, text);
    qm::CINIFile second;
    if (Parse(second, text) != error)
        FuzzFinding("the same text parsed differently twice");
    if (error) {
        if (error->kind != qm::kINIEmptyString && error->kind != qm::kINISyntax &&
            error->kind != qm::kINIDuplicateName && error->kind != qm::kININoSection)
            FuzzFinding("the parser threw a kind that parsing cannot give");
        if (error->position > text.size())
            FuzzFinding("a parse error points behind the text");
    }
    // Also after an error: what was read up to the fault is a valid document.
    CheckRoundTrip(first);
    LookUpEveryKey(first);
    return 0;
}
