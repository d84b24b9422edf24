// INI documents: a text is parsed into a document that remembers every line (sections,
// keys, comments and empty lines, in order), is queried and changed through typed get and
// set operations, and is written back whole. Malformed input and invalid changes throw
// qm::CINIError.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qm {

// The "no position" index of the add operations: append (or: after the last non-empty item).
inline constexpr uint32_t kNoPosition = 0xFFFFFFFFu;

class CINIWriter;

// One stored line of a section.
class CINIInfo {
public:
    virtual ~CINIInfo() = default;
    virtual void Write(CINIWriter& writer) const = 0;
};

class CINIKey : public CINIInfo {
public:
    CINIKey(std::string name, std::string value) : name(std::move(name)), value(std::move(value)) {}
    void Write(CINIWriter& writer) const override;

    std::string name;
    std::string value; // without the quotation marks that may enclose it in the file
};

class CINIComment : public CINIInfo {
public:
    explicit CINIComment(std::string text) : text(std::move(text)) {}
    void Write(CINIWriter& writer) const override;

    std::string text; // everything after the semicolon
};

// An ordered, owning list of items; a null item is an empty line.
template <typename T>
class TAbstractList {
public:
    explicit TAbstractList(std::string name = {}) : name(std::move(name)) {}
    virtual ~TAbstractList() = default;

    std::string name;
    std::vector<std::unique_ptr<T>> items;
};

// One section of a document.
class CINISection : public TAbstractList<CINIInfo> {
public:
    using TAbstractList::TAbstractList;

    // Index of the first key with that name (case-insensitive), or -1.
    int32_t FindKey(const std::string& keyName) const;
    const CINIKey* GetKey(const std::string& keyName) const;
    void AddKey(const std::string& keyName, const std::string& value, uint32_t index = kNoPosition,
                bool keepTrailingEmptyLines = true);
    void SetKey(const std::string& keyName, const std::string& value);
    void AddComment(const std::string& text, uint32_t index = kNoPosition,
                    bool keepTrailingEmptyLines = true);
    void AddEmptyLine(uint32_t index = kNoPosition);

private:
    size_t InsertionIndex(uint32_t index, bool keepTrailingEmptyLines) const;
};

class CINIFile {
public:
    explicit CINIFile(std::string fileName = {});

    // Reads and parses a whole file; false when it cannot be opened or read.
    bool Load(const std::string& path);
    void Parse(const std::string& text);
    // Serialises and writes the whole file; false when it cannot be created or written.
    bool Save(const std::string& path) const;
    void Serialize(std::string& text) const;
    void Clear();

    int32_t FindSection(const std::string& sectionName) const;
    void AddSection(const std::string& sectionName, uint32_t index = kNoPosition);
    size_t GetSectionCount() const { return sections.size(); }
    const CINISection& GetSection(size_t index) const { return *sections[index]; }

    // When both section and key exist, store the value; otherwise leave `value` unchanged.
    void GetString(const std::string& section, const std::string& key, std::string& value) const;
    void GetInt(const std::string& section, const std::string& key, int32_t& value) const;
    void GetBool(const std::string& section, const std::string& key, bool& value) const;

    void SetString(const std::string& section, const std::string& key, const std::string& value,
                   bool quote = false);
    void SetInt(const std::string& section, const std::string& key, int32_t value);
    void AddComment(const std::string& section, const std::string& text,
                    uint32_t index = kNoPosition);
    void AddEmptyLine(const std::string& section, uint32_t index = kNoPosition);

    const std::string& GetFileName() const { return fileName; }

private:
    CINISection& SectionForWriting(const std::string& sectionName);
    const CINIKey* FindKey(const std::string& section, const std::string& key) const;

    std::string fileName;
    std::vector<std::unique_ptr<CINISection>> sections; // entry 0: the unnamed section
};

} // namespace qm
