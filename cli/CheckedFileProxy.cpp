#include "cli/CheckedFileProxy.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cli {

CheckedFileProxy::CheckedFileProxy(int fd, const std::string& name) : IOProxy(name, Write), fd_(fd) {}

void CheckedFileProxy::close() {
    m_mode = Closed;
}

bool CheckedFileProxy::seek(std::int64_t offset) {
    if (offset < 0)
        return false;
    m_pos = offset;
    return true;
}

std::size_t CheckedFileProxy::read(void* buf, std::size_t size) {
    const std::size_t n = pread(buf, size, m_pos);
    m_pos += std::int64_t(n);
    return n;
}

std::size_t CheckedFileProxy::write(const void* buf, std::size_t size) {
    pwrite(buf, size, m_pos);
    m_pos += std::int64_t(size);
    return size;
}

std::size_t CheckedFileProxy::pread(void* buf, std::size_t size, std::int64_t offset) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n =
            ::pread(fd_, static_cast<char*>(buf) + done, size - done, off_t(offset) + off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && failure_ == 0)
            failure_ = errno;
        if (n <= 0)
            break;
        done += std::size_t(n);
    }
    return done;
}

std::size_t CheckedFileProxy::pwrite(const void* buf, std::size_t size, std::int64_t offset) {
    if (failure_ != 0 || stopped_)
        return size;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n =
            ::pwrite(fd_, static_cast<const char*>(buf) + done, size - done, off_t(offset) + off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failure_ = n < 0 ? errno : EIO;
            break;
        }
        done += std::size_t(n);
    }
    StartWriteback(offset + std::int64_t(done));
    return size;
}

// The file is synced before it is put in place; written back while the rest is still being encoded, the
// sync finds little left to wait for. Only a hint: a kernel that declines it changes nothing.
void CheckedFileProxy::StartWriteback(std::int64_t end) {
    constexpr std::int64_t kStep = std::int64_t{8} << 20;
    if (end < writebackStarted_ + kStep)
        return;
    ::sync_file_range(fd_, off_t(writebackStarted_), off_t(end - writebackStarted_), SYNC_FILE_RANGE_WRITE);
    writebackStarted_ = end;
}

std::size_t CheckedFileProxy::size() const {
    struct stat st {};
    return ::fstat(fd_, &st) == 0 ? std::size_t(st.st_size) : 0;
}

} // namespace cli
