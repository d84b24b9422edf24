#include "support/INIFile.h"

#include "support/INIError.h"
#include "support/TextFunctions.h"

namespace qm {

// Produces the text of a document line by line, remembering what the last line was so that
// section headers get their separating empty line.
class CINIWriter {
public:
    void WriteLine(const std::string& line) {
        text += line;
        text += "\r\n";
        anythingWritten = true;
        lastLineEmpty = line.empty();
    }
    void WriteSectionHeader(const std::string& name) {
        if (name.empty())
            Fail(kINIEmptyString);
        if (HasLineBreak(name))
            Fail(kINIInvalidCharacters);
        if (anythingWritten && !lastLineEmpty)
            WriteLine("");
        WriteLine("[" + name + "]");
    }
    // Errors of the writer point at the end of the text written so far.
    [[noreturn]] void Fail(int32_t kind) const { throw CINIError(kind, text, kNoPosition); }

    std::string text;

private:
    bool anythingWritten = false;
    bool lastLineEmpty = false;
};

namespace {

bool NeedsQuotes(const std::string& value) {
    return !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()));
}

// A key line stores its value without one enclosing pair of quotation marks.
void Unquote(std::string& value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
}

} // namespace

void CINIKey::Write(CINIWriter& writer) const {
    if (name.empty())
        writer.Fail(kINIEmptyString);
    if (name.find('=') != std::string::npos || HasLineBreak(name) || HasLineBreak(value))
        writer.Fail(kINIInvalidCharacters);
    writer.WriteLine(name + "=" + (NeedsQuotes(value) ? "\"" + value + "\"" : value));
}

void CINIComment::Write(CINIWriter& writer) const {
    if (HasLineBreak(text))
        writer.Fail(kINIInvalidCharacters);
    writer.WriteLine(";" + text);
}

// ---- Sections --------------------------------------------------------------------------

int32_t CINISection::FindKey(const std::string& keyName) const {
    for (size_t i = 0; i < items.size(); ++i) {
        const auto* key = dynamic_cast<const CINIKey*>(items[i].get());
        if (key != nullptr && EqualsNoCase(key->name, keyName))
            return static_cast<int32_t>(i);
    }
    return -1;
}

const CINIKey* CINISection::GetKey(const std::string& keyName) const {
    const int32_t index = FindKey(keyName);
    return index < 0 ? nullptr : static_cast<const CINIKey*>(items[index].get());
}

size_t CINISection::InsertionIndex(uint32_t index, bool keepTrailingEmptyLines) const {
    if (index != kNoPosition)
        return std::min<size_t>(index, items.size());
    if (!keepTrailingEmptyLines)
        return items.size();
    // Directly after the last non-empty item, so that trailing empty lines stay trailing.
    for (size_t i = items.size(); i > 0; --i) {
        if (items[i - 1] != nullptr)
            return i;
    }
    return items.size();
}

void CINISection::AddKey(const std::string& keyName, const std::string& value, uint32_t index,
                         bool keepTrailingEmptyLines) {
    if (keyName.empty())
        throw CINIError(kINIEmptyString);
    if (keyName.find('=') != std::string::npos || HasLineBreak(keyName) || HasLineBreak(value))
        throw CINIError(kINIInvalidCharacters);
    if (FindKey(keyName) >= 0)
        throw CINIError(kINIDuplicateName);
    const size_t at = InsertionIndex(index, keepTrailingEmptyLines);
    items.insert(items.begin() + static_cast<ptrdiff_t>(at),
                 std::make_unique<CINIKey>(keyName, value));
}

void CINISection::SetKey(const std::string& keyName, const std::string& value) {
    const int32_t index = FindKey(keyName);
    if (index >= 0)
        static_cast<CINIKey*>(items[index].get())->value = value;
    else
        AddKey(keyName, value, kNoPosition, true);
}

void CINISection::AddComment(const std::string& text, uint32_t index, bool keepTrailingEmptyLines) {
    if (HasLineBreak(text))
        throw CINIError(kINIInvalidCharacters);
    const size_t at = InsertionIndex(index, keepTrailingEmptyLines);
    items.insert(items.begin() + static_cast<ptrdiff_t>(at), std::make_unique<CINIComment>(text));
}

void CINISection::AddEmptyLine(uint32_t index) {
    const size_t at = InsertionIndex(index, false);
    items.insert(items.begin() + static_cast<ptrdiff_t>(at), nullptr);
}

// ---- Documents -------------------------------------------------------------------------

CINIFile::CINIFile(std::string fileName) : fileName(std::move(fileName)) {
    Clear();
}

void CINIFile::Clear() {
    sections.clear();
    sections.push_back(std::make_unique<CINISection>());
}

bool CINIFile::Load(const std::string& path) {
    std::string text;
    if (!ReadWholeFile(path, text))
        return false;
    Parse(text);
    return true;
}

bool CINIFile::Save(const std::string& path) const {
    std::string text;
    Serialize(text);
    return WriteWholeFile(path, text);
}

void CINIFile::Parse(const std::string& text) {
    Clear();
    CINISection* current = sections.front().get();
    std::string line;
    size_t position = 0;
    while (NextLine(text, line, position)) {
        Trim(line);
        const auto readerPosition = static_cast<uint32_t>(position);
        if (line.empty()) {
            current->items.push_back(nullptr);
        } else if (line.front() == ';') {
            current->items.push_back(std::make_unique<CINIComment>(line.substr(1)));
        } else if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 2)
                throw CINIError(kINISyntax, text, readerPosition);
            const std::string name = line.substr(1, line.size() - 2);
            if (name.empty())
                throw CINIError(kINIEmptyString, text, readerPosition);
            if (FindSection(name) >= 0)
                throw CINIError(kINIDuplicateName);
            sections.push_back(std::make_unique<CINISection>(name));
            current = sections.back().get();
        } else {
            const size_t equals = line.find('=');
            if (equals == std::string::npos)
                throw CINIError(kINISyntax, text, readerPosition);
            std::string name = line.substr(0, equals);
            std::string value = line.substr(equals + 1);
            Trim(name);
            Trim(value);
            if (name.empty())
                throw CINIError(kINIEmptyString, text, readerPosition);
            Unquote(value);
            if (current == sections.front().get())
                throw CINIError(kININoSection);
            if (current->FindKey(name) >= 0)
                throw CINIError(kINIDuplicateName);
            current->items.push_back(std::make_unique<CINIKey>(name, value));
        }
    }
}

void CINIFile::Serialize(std::string& text) const {
    CINIWriter writer;
    for (size_t i = 0; i < sections.size(); ++i) {
        if (i > 0)
            writer.WriteSectionHeader(sections[i]->name);
        for (const auto& item : sections[i]->items) {
            if (item == nullptr)
                writer.WriteLine("");
            else
                item->Write(writer);
        }
    }
    text = std::move(writer.text);
}

int32_t CINIFile::FindSection(const std::string& sectionName) const {
    for (size_t i = 0; i < sections.size(); ++i) {
        if (EqualsNoCase(sections[i]->name, sectionName))
            return static_cast<int32_t>(i);
    }
    return -1;
}

void CINIFile::AddSection(const std::string& sectionName, uint32_t index) {
    if (index == 0)
        throw CINIError(kINIInternal);
    if (sectionName.empty())
        throw CINIError(kINIEmptyString);
    if (FindSection(sectionName) >= 0)
        throw CINIError(kINIDuplicateName);
    if (HasLineBreak(sectionName))
        throw CINIError(kINIInvalidCharacters);
    const size_t at =
        index == kNoPosition ? sections.size() : std::min<size_t>(index, sections.size());
    sections.insert(sections.begin() + static_cast<ptrdiff_t>(at),
                    std::make_unique<CINISection>(sectionName));
}

const CINIKey* CINIFile::FindKey(const std::string& section, const std::string& key) const {
    const int32_t index = FindSection(section);
    return index < 0 ? nullptr : sections[index]->GetKey(key);
}

void CINIFile::GetString(const std::string& section, const std::string& key,
                         std::string& value) const {
    if (const CINIKey* found = FindKey(section, key))
        value = found->value;
}

void CINIFile::GetInt(const std::string& section, const std::string& key, int32_t& value) const {
    if (const CINIKey* found = FindKey(section, key))
        value = StrToInt(found->value);
}

void CINIFile::GetBool(const std::string& section, const std::string& key, bool& value) const {
    if (const CINIKey* found = FindKey(section, key))
        value = StrToBool(found->value);
}

CINISection& CINIFile::SectionForWriting(const std::string& sectionName) {
    int32_t index = FindSection(sectionName);
    if (index < 0) {
        AddSection(sectionName);
        index = static_cast<int32_t>(sections.size() - 1);
    }
    return *sections[index];
}

void CINIFile::SetString(const std::string& section, const std::string& key,
                         const std::string& value, bool quote) {
    if (section.empty())
        throw CINIError(kINIEmptyString);
    SectionForWriting(section).SetKey(key, quote ? "\"" + value + "\"" : value);
}

void CINIFile::SetInt(const std::string& section, const std::string& key, int32_t value) {
    SetString(section, key, IntToStr(value), false);
}

void CINIFile::AddComment(const std::string& section, const std::string& text, uint32_t index) {
    SectionForWriting(section).AddComment(text, index, false);
}

void CINIFile::AddEmptyLine(const std::string& section, uint32_t index) {
    SectionForWriting(section).AddEmptyLine(index);
}

} // namespace qm
