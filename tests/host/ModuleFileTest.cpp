// Plug-in files the loader must never see: cut short, not libraries, for another machine. Each is refused
// before it is loaded, with a message that says what is wrong, instead of crashing the process.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "host/HostError.h"
#include "host/ModuleFile.h"
#include "host/Plugin.h"

namespace tovrin::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteAll(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::string Refusal(const fs::path& file) {
    try {
        host::Plugin::Load(file);
    } catch (const host::HostError& e) {
        return e.what();
    }
    return "";
}

host::ReadAt Reader(const std::vector<std::uint8_t>& bytes) {
    return [&bytes](std::uint64_t offset, std::size_t size) {
        std::vector<std::uint8_t> out;
        for (std::uint64_t i = offset; i < bytes.size() && i < offset + size; ++i)
            out.push_back(bytes[std::size_t(i)]);
        return out;
    };
}

void Put(std::vector<std::uint8_t>& b, std::size_t at, std::uint64_t value, int size) {
    if (b.size() < at + std::size_t(size))
        b.resize(at + std::size_t(size));
    for (int i = 0; i < size; ++i)
        b[at + std::size_t(i)] = std::uint8_t(value >> (8 * i));
}

class ModuleFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("tovrin-module-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        library = ReadAll(HOST_MODULE_MISMATCH); // a real library of this platform
        ASSERT_GT(library.size(), 1024u);
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
    std::vector<std::uint8_t> library;
};

TEST_F(ModuleFile, ALibraryCutShortAnywhereIsRefusedBeforeLoading) {
    EXPECT_EQ(host::ModuleFileProblem(HOST_MODULE_MISMATCH), "");
    for (std::size_t keep : {std::size_t(0), std::size_t(1), std::size_t(40), std::size_t(64),
                             std::size_t(300), library.size() / 3, library.size() / 2, library.size() - 1}) {
        fs::path cut = dir / ("cut" + std::to_string(keep) + ".lib");
        WriteAll(cut, std::vector<std::uint8_t>(library.begin(), library.begin() + std::ptrdiff_t(keep)));
        std::string why = Refusal(cut);
        EXPECT_NE(why.find(cut.filename().string()), std::string::npos) << keep << ": " << why;
        EXPECT_TRUE(why.find("cut short") != std::string::npos || why.find("empty") != std::string::npos)
            << keep << ": " << why;
    }
}

TEST_F(ModuleFile, FilesThatAreNotLibrariesSayWhatTheyAre) {
    std::vector<std::uint8_t> text(5000, 'x');
    WriteAll(dir / "garbage.lib", text);
    EXPECT_NE(Refusal(dir / "garbage.lib").find("is not a library"), std::string::npos);
    EXPECT_NE(Refusal(dir).find("is not a regular file"), std::string::npos);
    EXPECT_NE(Refusal(dir / "missing.lib").find("does not exist"), std::string::npos);
}

TEST(ElfHeaders, ClassMachineTypeAndExtentsAreChecked) {
    // A minimal 64-bit library: the header, one program header, one loaded segment of 16 bytes.
    std::vector<std::uint8_t> elf(64, 0);
    std::memcpy(elf.data(),
                "\x7F"
                "ELF",
                4);
    elf[4] = 2; // 64-bit
    elf[5] = 1; // little-endian
    elf[6] = 1;
    Put(elf, 16, 3, 2); // shared object
#if defined(__aarch64__)
    Put(elf, 18, 183, 2);
#else
    Put(elf, 18, 62, 2);
#endif
    Put(elf, 32, 64, 8); // program headers at 64
    Put(elf, 54, 56, 2);
    Put(elf, 56, 1, 2);
    Put(elf, 64, 1, 4);       // PT_LOAD
    Put(elf, 64 + 8, 120, 8); // offset
    Put(elf, 64 + 32, 16, 8); // size in the file
    elf.resize(136);
    auto problem = [](const std::vector<std::uint8_t>& b) { return host::ElfProblem(b.size(), Reader(b)); };
    EXPECT_EQ(problem(elf), "");

    auto changed = [&](std::size_t at, std::uint64_t value, int size) {
        std::vector<std::uint8_t> b = elf;
        Put(b, at, value, size);
        return problem(b);
    };
    EXPECT_NE(changed(4, 1, 1).find("32-bit"), std::string::npos);
    EXPECT_NE(changed(5, 2, 1).find("big-endian"), std::string::npos);
    EXPECT_NE(changed(16, 2, 2).find("not a shared library"), std::string::npos);
    EXPECT_NE(changed(18, 40, 2).find("another processor"), std::string::npos);
    EXPECT_NE(changed(64 + 32, 17, 8).find("segments reach byte 137"), std::string::npos);
    EXPECT_NE(changed(64 + 8, ~std::uint64_t(0), 8).find("cut short"), std::string::npos); // overflow
    EXPECT_NE(changed(56, 60, 2).find("program headers"), std::string::npos);
    // Section headers beyond the end, as when the tail of a library is lost.
    std::vector<std::uint8_t> sections = elf;
    Put(sections, 40, 136, 8);
    Put(sections, 58, 64, 2);
    Put(sections, 60, 2, 2);
    EXPECT_NE(problem(sections).find("section headers reach byte 264"), std::string::npos);
}

TEST(PeHeaders, MachineKindAndSectionsAreChecked) {
    // A minimal x64 DLL: MZ header pointing at 64, PE signature, file header, a 240-byte PE32+ optional
    // header, one section of 512 bytes at 512.
    std::vector<std::uint8_t> pe(1024, 0);
    pe[0] = 'M';
    pe[1] = 'Z';
    Put(pe, 0x3C, 64, 4);
    Put(pe, 64, 0x00004550, 4);
    Put(pe, 68, 0x8664, 2);
    Put(pe, 70, 1, 2);        // one section
    Put(pe, 84, 240, 2);      // optional header size
    Put(pe, 86, 0x2022, 2);   // DLL, executable image
    Put(pe, 88, 0x20B, 2);    // PE32+
    Put(pe, 88 + 60, 512, 4); // size of headers
    std::size_t section = 88 + 240;
    Put(pe, section + 16, 512, 4); // raw size
    Put(pe, section + 20, 512, 4); // raw offset
    auto problem = [](const std::vector<std::uint8_t>& b) { return host::PeProblem(b.size(), Reader(b)); };
    EXPECT_EQ(problem(pe), "");

    auto changed = [&](std::size_t at, std::uint64_t value, int size) {
        std::vector<std::uint8_t> b = pe;
        Put(b, at, value, size);
        return problem(b);
    };
    EXPECT_NE(changed(68, 0x14C, 2).find("another processor"), std::string::npos);
    EXPECT_NE(changed(86, 0x0022, 2).find("not a library"), std::string::npos);
    EXPECT_NE(changed(88, 0x10B, 2).find("64-bit"), std::string::npos);
    EXPECT_NE(changed(64, 0, 4).find("no PE signature"), std::string::npos);
    EXPECT_NE(changed(0x3C, 5000, 4).find("cut short"), std::string::npos);
    std::vector<std::uint8_t> cut(pe.begin(), pe.begin() + 1000);
    EXPECT_NE(problem(cut).find("sections reach byte 1024 but the file holds 1000"), std::string::npos);
    // A symbol table of 2 entries and 10 bytes of names after the sections, then the same cut in its names.
    std::vector<std::uint8_t> symbols = pe;
    Put(symbols, 64 + 4 + 8, 1024, 4);
    Put(symbols, 64 + 4 + 12, 2, 4);
    Put(symbols, 1024 + 36, 10, 4);
    symbols.resize(1024 + 36 + 10);
    EXPECT_EQ(problem(symbols), "");
    symbols.pop_back();
    EXPECT_NE(problem(symbols).find("symbol names reach byte 1070"), std::string::npos);
    EXPECT_NE(problem(std::vector<std::uint8_t>(pe.begin(), pe.begin() + 40)).find("cut short"),
              std::string::npos);
}

} // namespace
} // namespace tovrin::test
