#pragma once
// The plug-in's property list (resource 16000), parsed from its Windows byte layout.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace host {

// A four-character code as the host writes it in source ('eFKT' is 0x65464B54).
constexpr std::uint32_t FourCC(const char (&code)[5]) {
    return (std::uint32_t(std::uint8_t(code[0])) << 24) | (std::uint32_t(std::uint8_t(code[1])) << 16) |
           (std::uint32_t(std::uint8_t(code[2])) << 8) | std::uint32_t(std::uint8_t(code[3]));
}
std::string FourCCText(std::uint32_t code);

struct PiPLProperty {
    std::uint32_t vendor = 0;
    std::uint32_t key = 0;
    std::uint32_t id = 0;
    std::uint32_t length = 0;       // as stored (may exclude the fill, as for 'eINF')
    std::vector<std::uint8_t> data; // the stored bytes, padded to a multiple of four
};

struct SpecVersion {
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    friend bool operator==(const SpecVersion&, const SpecVersion&) = default;
};

// What a host reads from the list. Absent properties stay empty.
struct PiPL {
    std::vector<PiPLProperty> properties; // in stored order
    std::optional<std::uint32_t> kind;
    std::string name;
    std::string category;
    std::string entryPoint;                    // the 64-bit Windows code property '8664'
    std::optional<SpecVersion> pipLVersion;    // 'ePVR'
    std::optional<SpecVersion> specVersion;    // 'eSVR'
    std::optional<std::uint32_t> version;      // 'eVER'
    std::optional<std::uint16_t> infoFlags;    // 'eINF'
    std::optional<std::uint32_t> outFlags;     // 'eGLO'
    std::optional<std::uint32_t> outFlags2;    // 'eGL2'
    std::string matchName;                     // 'eMNA'
    std::optional<std::uint32_t> reservedInfo; // 'aeFL'

    const PiPLProperty* Find(std::uint32_t key) const;
};

// Parses the bytes; on malformed input returns nothing and says why in `error`.
std::optional<PiPL> ParsePiPL(std::span<const std::uint8_t> bytes, std::string* error = nullptr);

// The same list written back in the Windows byte layout (for tests and tools that build a list).
std::vector<std::uint8_t> WritePiPL(const std::vector<PiPLProperty>& properties);
PiPLProperty PiPLString(std::uint32_t key, const std::string& text);  // length-prefixed
PiPLProperty PiPLCString(std::uint32_t key, const std::string& text); // zero-terminated
PiPLProperty PiPLLong(std::uint32_t key, std::uint32_t value);
PiPLProperty PiPLVersionPair(std::uint32_t key, std::uint16_t major, std::uint16_t minor);
PiPLProperty PiPLShort(std::uint32_t key, std::uint16_t value); // stored length 2, four bytes

// The list of an effect with the given answers, in the property order of the SDK templates.
struct PiPLDescription {
    std::string name, category, entryPoint, matchName;
    SpecVersion specVersion{13, 0};
    std::uint32_t version = 0, outFlags = 0, outFlags2 = 0;
};
std::vector<std::uint8_t> MakeEffectPiPL(const PiPLDescription& d);

} // namespace host
