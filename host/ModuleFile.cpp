#include "host/ModuleFile.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <system_error>

namespace host {
namespace {

// Little-endian fields of a header read into memory; reading past its end gives 0.
struct Fields {
    std::vector<std::uint8_t> bytes;
    std::uint64_t At(std::size_t offset, int size) const {
        std::uint64_t v = 0;
        for (int i = size - 1; i >= 0; --i)
            v = (v << 8) | (offset + std::size_t(i) < bytes.size() ? bytes[offset + std::size_t(i)] : 0);
        return v;
    }
    std::uint16_t U16(std::size_t offset) const { return std::uint16_t(At(offset, 2)); }
    std::uint32_t U32(std::size_t offset) const { return std::uint32_t(At(offset, 4)); }
    std::uint64_t U64(std::size_t offset) const { return At(offset, 8); }
};

// The end of a part of `count` entries of `size` bytes at `offset`; the largest value when that overflows,
// so that it lies beyond any file.
std::uint64_t End(std::uint64_t offset, std::uint64_t count, std::uint64_t size) {
    if (size && count > (UINT64_MAX - offset) / size)
        return UINT64_MAX;
    return offset + count * size;
}

// Whether the file begins with `magic`, as far as it goes.
bool StartsLike(const std::vector<std::uint8_t>& bytes, const char* magic, std::size_t length) {
    for (std::size_t i = 0; i < length && i < bytes.size(); ++i)
        if (bytes[i] != std::uint8_t(magic[i]))
            return false;
    return !bytes.empty();
}

std::string ShorterThanHeader(std::uint64_t fileSize, const char* header) {
    return "is cut short: its " + std::to_string(fileSize) + " bytes do not hold a whole " + header +
           " header";
}

std::string CutShort(const char* part, std::uint64_t end, std::uint64_t fileSize) {
    std::ostringstream s;
    s << "is cut short: its " << part << " reach byte " << end << " but the file holds " << fileSize
      << " bytes";
    return s.str();
}

constexpr std::uint16_t kElfMachine =
#if defined(__aarch64__)
    183; // EM_AARCH64
#else
    62; // EM_X86_64
#endif

} // namespace

std::string ElfProblem(std::uint64_t fileSize, const ReadAt& read) {
    Fields h{read(0, 64)};
    constexpr char kMagic[] = {0x7F, 'E', 'L', 'F'};
    if (!StartsLike(h.bytes, kMagic, 4))
        return "is not a library: it does not start with an ELF header";
    if (h.bytes.size() < 64)
        return ShorterThanHeader(fileSize, "ELF");
    if (h.bytes[4] != 2)
        return "is a 32-bit library; the host loads 64-bit plug-ins";
    if (h.bytes[5] != 1)
        return "is a big-endian library; the host loads little-endian plug-ins";
    if (h.U16(16) != 3)
        return "is not a shared library (ELF type " + std::to_string(h.U16(16)) + ")";
    if (h.U16(18) != kElfMachine)
        return "is built for another processor (ELF machine " + std::to_string(h.U16(18)) +
               ", this host runs machine " + std::to_string(kElfMachine) + ")";
    std::uint64_t phoff = h.U64(32), shoff = h.U64(40);
    std::uint16_t phentsize = h.U16(54), phnum = h.U16(56), shentsize = h.U16(58), shnum = h.U16(60);
    if (phnum == 0 || phnum == 0xFFFF || phentsize != 56)
        return "has a malformed ELF header (program headers: " + std::to_string(phnum) + " of " +
               std::to_string(phentsize) + " bytes)";
    std::uint64_t end = End(phoff, phnum, phentsize);
    if (end > fileSize)
        return CutShort("program headers", end, fileSize);
    Fields ph{read(phoff, std::size_t(phnum) * phentsize)};
    for (std::size_t i = 0; i < phnum; ++i) {
        std::size_t at = i * phentsize;
        end = End(ph.U64(at + 8), 1, ph.U64(at + 32));
        if (end > fileSize)
            return CutShort("segments", end, fileSize);
    }
    if (shnum != 0) {
        if (shentsize != 64)
            return "has a malformed ELF header (section headers of " + std::to_string(shentsize) + " bytes)";
        end = End(shoff, shnum, shentsize);
        if (end > fileSize)
            return CutShort("section headers", end, fileSize);
        Fields sh{read(shoff, std::size_t(shnum) * shentsize)};
        for (std::size_t i = 0; i < shnum; ++i) {
            std::size_t at = i * shentsize;
            if (sh.U32(at + 4) == 8) // SHT_NOBITS: no bytes in the file
                continue;
            end = End(sh.U64(at + 24), 1, sh.U64(at + 32));
            if (end > fileSize)
                return CutShort("sections", end, fileSize);
        }
    }
    return "";
}

std::string PeProblem(std::uint64_t fileSize, const ReadAt& read) {
    Fields dos{read(0, 64)};
    if (!StartsLike(dos.bytes, "MZ", 2))
        return "is not a library: it does not start with an MZ header";
    if (dos.bytes.size() < 64)
        return ShorterThanHeader(fileSize, "MZ");
    std::uint64_t pe = dos.U32(0x3C);
    std::uint64_t end = pe + 24;
    if (end > fileSize)
        return CutShort("PE header", end, fileSize);
    Fields coff{read(pe, 24 + 240)};
    if (coff.U32(0) != 0x00004550) // "PE\0\0"
        return "is not a Windows library: no PE signature where its MZ header points";
    std::uint16_t machine = coff.U16(4), sections = coff.U16(6), optionalSize = coff.U16(20);
    std::uint16_t characteristics = coff.U16(22);
    if (machine != 0x8664) {
        std::ostringstream s;
        s << "is built for another processor (PE machine 0x" << std::hex << machine
          << "); the host loads x64 plug-ins";
        return s.str();
    }
    if ((characteristics & 0x2000) == 0)
        return "is a program, not a library (a DLL)";
    end = pe + 24 + optionalSize;
    if (end > fileSize)
        return CutShort("optional header", end, fileSize);
    if (optionalSize < 64 || coff.U16(24) != 0x20B)
        return "is not a 64-bit (PE32+) library";
    std::uint64_t headers = coff.U32(24 + 60);
    if (headers > fileSize)
        return CutShort("headers", headers, fileSize);
    std::uint64_t table = pe + 24 + optionalSize;
    end = End(table, sections, 40);
    if (end > fileSize)
        return CutShort("section table", end, fileSize);
    Fields st{read(table, std::size_t(sections) * 40)};
    for (std::size_t i = 0; i < sections; ++i) {
        std::uint64_t raw = st.U32(i * 40 + 16), at = st.U32(i * 40 + 20);
        if (raw != 0 && at + raw > fileSize)
            return CutShort("sections", at + raw, fileSize);
    }
    // A symbol table (the linkers of this build keep one) ends the file: its string table's size follows it.
    std::uint64_t symbols = coff.U32(12), count = coff.U32(16);
    if (symbols != 0) {
        end = symbols + count * 18;
        if (end + 4 > fileSize)
            return CutShort("symbol table", end + 4, fileSize);
        end += Fields{read(end, 4)}.U32(0);
        if (end > fileSize)
            return CutShort("symbol names", end, fileSize);
    }
    return "";
}

std::string ModuleFileProblem(const std::filesystem::path& file) {
    std::error_code ec;
    auto status = std::filesystem::status(file, ec);
    if (ec || !std::filesystem::exists(status))
        return "does not exist";
    if (!std::filesystem::is_regular_file(status))
        return "is not a regular file";
    std::uint64_t size = std::filesystem::file_size(file, ec);
    if (ec)
        return "cannot be read: " + ec.message();
    if (size == 0)
        return "is empty";
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return "cannot be opened for reading";
    ReadAt read = [&](std::uint64_t offset, std::size_t count) {
        std::vector<std::uint8_t> bytes;
        if (offset >= size)
            return bytes;
        bytes.resize(std::size_t(std::min<std::uint64_t>(count, size - offset)));
        in.clear();
        in.seekg(std::streamoff(offset));
        in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
        bytes.resize(std::size_t(in.gcount()));
        return bytes;
    };
#if defined(_WIN32)
    return PeProblem(size, read);
#else
    return ElfProblem(size, read);
#endif
}

} // namespace host
