#pragma once
// Per-instance sequence data: a small identifying record that the host stores with the project, flattened
// to 24 little-endian bytes that read back the same on every machine.
#include <cstdint>

struct SequenceRecord {
    std::uint32_t magic;      // kSequenceMagic
    std::uint32_t flatMarker; // 0 in memory, 1 in the flat form
    std::uint32_t size;       // 24
    std::uint32_t version;    // 1
    std::uint8_t reserved[8];
};
static_assert(sizeof(SequenceRecord) == 24);

constexpr std::uint32_t kSequenceMagic = 0x7A767371; // 'zvsq'
constexpr std::uint32_t kSequenceVersion = 1;
constexpr SequenceRecord kDefaultSequenceRecord = {
    kSequenceMagic, 0, sizeof(SequenceRecord), kSequenceVersion, {}};

// The flat form: magic, marker 1, version, size (version before size), then the reserved bytes.
void FlattenSequenceRecord(const SequenceRecord& record, std::uint8_t (&flat)[24]) noexcept;
// The record a flat form of `size` bytes describes: the default record when it is shorter than 24 bytes
// or has a foreign magic, version or size; never reads past `size` bytes.
SequenceRecord UnflattenSequenceRecord(const std::uint8_t* flat, std::uint64_t size) noexcept;
