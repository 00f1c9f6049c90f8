#include "host/PiPL.h"

#include <algorithm>
#include <cstring>

namespace host {
namespace {

constexpr std::uint32_t kVendor = FourCC("8BIM");

std::uint32_t ReadLE32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}
std::uint16_t ReadLE16(const std::uint8_t* p) {
    return std::uint16_t(p[0] | (p[1] << 8));
}

void WriteLE32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(v >> (8 * i)));
}

std::size_t Padded(std::size_t n) {
    return (n + 3) & ~std::size_t(3);
}

bool Fail(std::string* error, const std::string& why) {
    if (error)
        *error = why;
    return false;
}

bool ReadPascal(const PiPLProperty& p, std::string& out, std::string* error) {
    if (p.length < 1 || p.data.empty())
        return Fail(error, "property '" + FourCCText(p.key) + "' holds no string");
    std::size_t count = p.data[0];
    if (count + 1 > p.length)
        return Fail(error, "string of property '" + FourCCText(p.key) + "' runs past its length");
    out.assign(reinterpret_cast<const char*>(p.data.data() + 1), count);
    return true;
}

bool ReadCString(const PiPLProperty& p, std::string& out, std::string* error) {
    const void* end = std::memchr(p.data.data(), 0, p.length);
    if (!end)
        return Fail(error, "string of property '" + FourCCText(p.key) + "' is not terminated");
    out.assign(reinterpret_cast<const char*>(p.data.data()));
    return true;
}

bool ReadLong(const PiPLProperty& p, std::optional<std::uint32_t>& out, std::string* error) {
    if (p.length < 4)
        return Fail(error, "property '" + FourCCText(p.key) + "' is shorter than 4 bytes");
    out = ReadLE32(p.data.data());
    return true;
}

bool ReadPair(const PiPLProperty& p, std::optional<SpecVersion>& out, std::string* error) {
    if (p.length < 4)
        return Fail(error, "property '" + FourCCText(p.key) + "' is shorter than 4 bytes");
    out = SpecVersion{ReadLE16(p.data.data()), ReadLE16(p.data.data() + 2)};
    return true;
}

bool Interpret(PiPL& pipl, const PiPLProperty& p, std::string* error) {
    if (p.vendor != kVendor)
        return true; // other vendors' properties are not ours to read
    switch (p.key) {
    case FourCC("kind"):
        return ReadLong(p, pipl.kind, error);
    case FourCC("name"):
        return ReadPascal(p, pipl.name, error);
    case FourCC("catg"):
        return ReadPascal(p, pipl.category, error);
    case FourCC("8664"):
        return ReadCString(p, pipl.entryPoint, error);
    case FourCC("ePVR"):
        return ReadPair(p, pipl.pipLVersion, error);
    case FourCC("eSVR"):
        return ReadPair(p, pipl.specVersion, error);
    case FourCC("eVER"):
        return ReadLong(p, pipl.version, error);
    case FourCC("eINF"):
        if (p.length < 2)
            return Fail(error, "property 'eINF' is shorter than 2 bytes");
        pipl.infoFlags = ReadLE16(p.data.data());
        return true;
    case FourCC("eGLO"):
        return ReadLong(p, pipl.outFlags, error);
    case FourCC("eGL2"):
        return ReadLong(p, pipl.outFlags2, error);
    case FourCC("eMNA"):
        return ReadPascal(p, pipl.matchName, error);
    case FourCC("aeFL"):
        return ReadLong(p, pipl.reservedInfo, error);
    default:
        return true;
    }
}

} // namespace

std::string FourCCText(std::uint32_t code) {
    std::string s(4, ' ');
    for (int i = 0; i < 4; ++i) {
        char c = char(code >> (8 * (3 - i)));
        s[i] = (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return s;
}

const PiPLProperty* PiPL::Find(std::uint32_t key) const {
    for (const PiPLProperty& p : properties)
        if (p.vendor == kVendor && p.key == key)
            return &p;
    return nullptr;
}

std::optional<PiPL> ParsePiPL(std::span<const std::uint8_t> bytes, std::string* error) {
    if (bytes.size() < 10) {
        Fail(error, "PiPL is shorter than its 10-byte header");
        return std::nullopt;
    }
    if (ReadLE16(bytes.data()) != 1) {
        Fail(error, "PiPL does not start with the marker word 1");
        return std::nullopt;
    }
    if (ReadLE32(bytes.data() + 2) != 0) {
        Fail(error, "PiPL list version is not 0");
        return std::nullopt;
    }
    std::uint32_t count = ReadLE32(bytes.data() + 6);
    PiPL pipl;
    std::size_t at = 10;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (bytes.size() - at < 16) {
            Fail(error, "PiPL property " + std::to_string(i) + " runs past the end");
            return std::nullopt;
        }
        PiPLProperty p;
        p.vendor = ReadLE32(bytes.data() + at);
        p.key = ReadLE32(bytes.data() + at + 4);
        p.id = ReadLE32(bytes.data() + at + 8);
        p.length = ReadLE32(bytes.data() + at + 12);
        at += 16;
        std::size_t stored = Padded(p.length);
        if (p.length > bytes.size() || bytes.size() - at < stored) {
            Fail(error, "data of PiPL property '" + FourCCText(p.key) + "' runs past the end");
            return std::nullopt;
        }
        p.data.assign(bytes.begin() + at, bytes.begin() + at + stored);
        at += stored;
        if (p.vendor == kVendor && pipl.Find(p.key)) {
            Fail(error, "PiPL property '" + FourCCText(p.key) + "' appears twice");
            return std::nullopt;
        }
        if (!Interpret(pipl, p, error))
            return std::nullopt;
        pipl.properties.push_back(std::move(p));
    }
    return pipl;
}

std::vector<std::uint8_t> WritePiPL(const std::vector<PiPLProperty>& properties) {
    std::vector<std::uint8_t> out{1, 0};
    WriteLE32(out, 0);
    WriteLE32(out, std::uint32_t(properties.size()));
    for (const PiPLProperty& p : properties) {
        WriteLE32(out, p.vendor);
        WriteLE32(out, p.key);
        WriteLE32(out, p.id);
        WriteLE32(out, p.length);
        std::vector<std::uint8_t> data = p.data;
        data.resize(Padded(std::max<std::size_t>(p.length, data.size())), 0);
        out.insert(out.end(), data.begin(), data.end());
    }
    return out;
}

PiPLProperty PiPLString(std::uint32_t key, const std::string& text) {
    PiPLProperty p{kVendor, key, 0, 0, {}};
    std::string counted = std::string(1, char(std::uint8_t(text.size()))) + text;
    p.data.assign(counted.begin(), counted.end());
    p.data.resize(Padded(p.data.size()), 0);
    p.length = std::uint32_t(p.data.size());
    return p;
}

PiPLProperty PiPLCString(std::uint32_t key, const std::string& text) {
    PiPLProperty p{kVendor, key, 0, 0, {}};
    p.data.assign(text.begin(), text.end());
    p.data.push_back(0);
    p.data.resize(Padded(p.data.size()), 0);
    p.length = std::uint32_t(p.data.size());
    return p;
}

PiPLProperty PiPLLong(std::uint32_t key, std::uint32_t value) {
    PiPLProperty p{kVendor, key, 0, 4, {}};
    WriteLE32(p.data, value);
    return p;
}

PiPLProperty PiPLVersionPair(std::uint32_t key, std::uint16_t major, std::uint16_t minor) {
    return PiPLLong(key, std::uint32_t(major) | (std::uint32_t(minor) << 16));
}

PiPLProperty PiPLShort(std::uint32_t key, std::uint16_t value) {
    PiPLProperty p = PiPLLong(key, value);
    p.length = 2;
    return p;
}

std::vector<std::uint8_t> MakeEffectPiPL(const PiPLDescription& d) {
    return WritePiPL({
        PiPLLong(FourCC("kind"), FourCC("eFKT")),
        PiPLString(FourCC("name"), d.name),
        PiPLString(FourCC("catg"), d.category),
        PiPLCString(FourCC("8664"), d.entryPoint),
        PiPLVersionPair(FourCC("ePVR"), 2, 0),
        PiPLVersionPair(FourCC("eSVR"), d.specVersion.major, d.specVersion.minor),
        PiPLLong(FourCC("eVER"), d.version),
        PiPLShort(FourCC("eINF"), 0),
        PiPLLong(FourCC("eGLO"), d.outFlags),
        PiPLLong(FourCC("eGL2"), d.outFlags2),
        PiPLString(FourCC("eMNA"), d.matchName),
        PiPLLong(FourCC("aeFL"), 0),
    });
}

} // namespace host
