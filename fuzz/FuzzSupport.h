#pragma once
// What every fuzz target shares: a check that ends the run as a crash (so that libFuzzer keeps the input
// and the replay test fails), a reader that takes values from the input's bytes, and the plug-in file the
// targets load.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// A property that does not hold is a finding like a crash: the message, then abort().
[[noreturn]] void FuzzFailure(const char* file, int line, const std::string& what);
#define FUZZ_CHECK(condition, what)                                                                          \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            FuzzFailure(__FILE__, __LINE__, std::string(#condition) + ": " + (what));                        \
    } while (false)

namespace fuzz {

// Values drawn from the front of the input; zeros once it is used up, so every input is valid.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::uint32_t U32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v = v << 8 | Byte();
        return v;
    }
    // A whole number in [low, high].
    long Between(long low, long high) {
        const auto span = static_cast<std::uint64_t>(high - low) + 1;
        return low + static_cast<long>(U32() % span);
    }
    bool Flag() { return Byte() & 1; }
    // Up to `length` bytes as text.
    std::string Text(std::size_t length) {
        const std::size_t n = length < Remaining() ? length : Remaining();
        std::string text(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
        return text;
    }
    // Everything not yet taken.
    std::string Rest() { return Text(Remaining()); }
    std::size_t Remaining() const { return size_ - pos_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// The plug-in file: TOVRIN_PLUGIN, else the one this build made.
std::string PluginPath();

// A folder of this process's own on a memory file system where there is one (files written at every run
// cost no disk), made on first use and removed at exit.
const std::string& ScratchFolder();

} // namespace fuzz
