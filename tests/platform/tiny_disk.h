#pragma once
// A folder on a file system of its own: a tiny tmpfs that can be filled to the last byte or turned
// read-only. Only an administrator may mount one; elsewhere (and on Windows) the disk is not Active and the
// test says why it skips.
#include <filesystem>
#include <fstream>
#include <string>

#if !defined(_WIN32)
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#endif

namespace profile_test {

class TinyDisk {
public:
    explicit TinyDisk(const std::filesystem::path& folder, int kilobytes = 64) : folder_(folder) {
        std::filesystem::create_directories(folder_);
#if defined(_WIN32)
        (void)kilobytes;
        why_ = "no tmpfs to mount on Windows";
#else
        const std::string options = "size=" + std::to_string(kilobytes) + "k,mode=0777";
        if (::mount("tmpfs", folder_.c_str(), "tmpfs", 0, options.c_str()) == 0)
            mounted_ = true;
        else
            why_ = std::string("cannot mount a tmpfs (") + std::strerror(errno) + "): the test needs root";
#endif
    }
    ~TinyDisk() {
#if !defined(_WIN32)
        if (mounted_)
            ::umount2(folder_.c_str(), MNT_DETACH);
#endif
    }
    TinyDisk(const TinyDisk&) = delete;
    TinyDisk& operator=(const TinyDisk&) = delete;

    bool Active() const {
        return mounted_;
    }
    const std::string& WhyNot() const {
        return why_;
    }
    const std::filesystem::path& Folder() const {
        return folder_;
    }

    // Writes a file until the disk has no byte left.
    void Fill() const {
        std::ofstream filler(folder_ / "filler", std::ios::binary);
        const std::string block(4096, 'f');
        while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) && filler.flush()) {
        }
        std::ofstream last(folder_ / "filler-tail", std::ios::binary);
        while (last.put('f') && last.flush()) {
        }
    }
    void Free() const {
        std::error_code ignored;
        std::filesystem::remove(folder_ / "filler", ignored);
        std::filesystem::remove(folder_ / "filler-tail", ignored);
    }

    // The same file system, mounted read-only from now on.
    bool MakeReadOnly() const {
#if defined(_WIN32)
        return false;
#else
        return mounted_ && ::mount(nullptr, folder_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
#endif
    }

private:
    std::filesystem::path folder_;
    bool mounted_ = false;
    std::string why_;
};

} // namespace profile_test
