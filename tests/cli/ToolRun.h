#pragma once
// Running the built tool as a child process, and the files the tests give it.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <OpenImageIO/imageio.h>
#include <gtest/gtest.h>

namespace clitest {

struct ToolResult {
    int exitCode = -1; // -1 when the tool died of a signal
    std::string out, err;
    long peakKb = 0;       // the tool's peak resident memory
    bool timedOut = false; // killed after RunOptions::timeoutSeconds
};

struct RunOptions {
    std::vector<std::pair<std::string, std::string>> environment;
    // Called with the standard output so far, after each read and every few milliseconds; once it returns
    // true, `interruptCount` signals `interruptSignal` go to the tool, one per later call.
    std::function<bool(const std::string&)> interruptWhen;
    int interruptSignal = 2; // SIGINT
    int interruptCount = 1;
    // Called every 20 ms with the tool's process id; returning true starts the signals as interruptWhen does.
    std::function<bool(int)> interruptWhenProcess;
    bool terminal = false;      // run on a pseudo-terminal (standard output and error together in `out`)
    unsigned short columns = 0; // the pseudo-terminal's width (0: none set)
    int timeoutSeconds =
        0; // > 0: the tool is killed after this long (a test of something that must not hang)
};

ToolResult RunTool(const std::vector<std::string>& arguments, const RunOptions& options = {});

// Blur lengths that make the effect copy its input.
std::vector<std::string> NoWorkSettings();

// Pixels of a file as stored (straight files are not premultiplied on reading).
struct Image {
    int width = 0, height = 0, channels = 0;
    OIIO::TypeDesc type = OIIO::TypeDesc::UINT8;
    std::vector<std::uint8_t> bytes;
    OIIO::ImageSpec spec;

    template <class T>
    T At(int x, int y, int c) const {
        return reinterpret_cast<const T*>(
            bytes.data())[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * std::size_t(channels) +
                          std::size_t(c)];
    }
    template <class T>
    T* Data() {
        return reinterpret_cast<T*>(bytes.data());
    }
    template <class T>
    const T* Data() const {
        return reinterpret_cast<const T*>(bytes.data());
    }
};

Image MakeImage(int width, int height, int channels, OIIO::TypeDesc type);
Image ReadImage(const std::filesystem::path& path);
// Whether two files hold the same pixels (their metadata, such as the command line that made them, aside).
bool SamePixels(const std::filesystem::path& a, const std::filesystem::path& b);
// Stored as given, straight unless `premultiplied` (OpenEXR always premultiplied); `attributes` are added to
// the file's metadata.
void WriteImage(const std::filesystem::path& path, const Image& image,
                const std::vector<std::pair<std::string, std::string>>& attributes = {},
                bool premultiplied = false);

// An 8-bit RGBA frame with flat regions, hard edges, partial alpha and colour under zero alpha.
Image CelFrame8(int width, int height, int seed = 0);

// A fresh folder per test, removed afterwards.
class ToolTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::filesystem::path Path(const std::string& name) const { return dir_ / name; }
    std::string File(const std::string& name) const { return Path(name).string(); }
    // The names in the folder, hidden ones included.
    std::vector<std::string> Listing() const;

    std::filesystem::path dir_;
};

} // namespace clitest
