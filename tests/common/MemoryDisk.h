// A disk slot whose image lives in memory: the data area as a byte vector.
#pragma once

#include "core/DiskSlot.h"

#include <cstring>
#include <vector>

class CMemoryDisk : public CDiskSlot {
public:
    explicit CMemoryDisk(std::vector<uint8_t> dataArea, uint32_t slot = 0, bool readOnly = false)
        : data(std::move(dataArea)), slot(slot), readOnly(readOnly) {}

    // A bootable data area: the signed 32-bit boot length, then the image.
    static std::vector<uint8_t> BootArea(const std::vector<uint8_t>& image, int32_t length) {
        std::vector<uint8_t> area(4);
        std::memcpy(area.data(), &length, 4);
        area.insert(area.end(), image.begin(), image.end());
        return area;
    }

    bool Init(const qm::CINIFile&, const qm::CINIFile&, const std::string&) override {
        return true;
    }
    bool Insert(const std::string& name) override {
        fileName = name;
        inserted = true;
        return true;
    }
    void Eject() override {
        inserted = false;
        fileName.clear();
    }
    bool GetSize(uint32_t& size) const override {
        size = static_cast<uint32_t>(data.size());
        return inserted;
    }
    bool Seek(uint32_t p) override {
        if (!inserted || p >= data.size())
            return false;
        position = p;
        return true;
    }
    bool Tell(uint32_t& p) const override {
        p = position;
        return inserted;
    }
    bool Read(void* buffer, uint32_t count) override {
        if (!inserted || uint64_t{position} + count > data.size())
            return false;
        std::memcpy(buffer, data.data() + position, count);
        position += count;
        return true;
    }
    bool Write(const void* buffer, uint32_t count) override {
        if (!inserted || readOnly || uint64_t{position} + count > data.size())
            return false;
        std::memcpy(data.data() + position, buffer, count);
        position += count;
        return true;
    }
    bool HasDisk() const override { return inserted; }
    bool IsReadOnly() const override { return readOnly; }
    bool IsRemembering() const override { return false; }
    uint32_t GetSlot() const override { return slot; }
    const std::string& GetFileName() const override { return fileName; }

    std::vector<uint8_t> data;

private:
    uint32_t slot;
    bool readOnly;
    bool inserted = true;
    uint32_t position = 0;
    std::string fileName = "memory.disk";
};
