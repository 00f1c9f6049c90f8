#include "cli/ChildProcess.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli/ToolError.h"

extern char** environ;

namespace cli {
namespace {

bool IsExecutableFile(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

// Closes both ends of the pipes on every path out.
struct Pipes {
    int out[2] = {-1, -1}, err[2] = {-1, -1};
    ~Pipes() {
        for (int fd : {out[0], out[1], err[0], err[1]})
            if (fd >= 0)
                ::close(fd);
    }
};

void CloseFd(int& fd) {
    ::close(fd);
    fd = -1;
}

} // namespace

std::optional<std::filesystem::path> FindProgram(const std::string& name) {
    if (name.empty())
        return std::nullopt;
    if (name.find('/') != std::string::npos)
        return IsExecutableFile(name) ? std::optional<std::filesystem::path>(name) : std::nullopt;
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        const std::string folder = folders.substr(start, end - start);
        const std::filesystem::path candidate = std::filesystem::path(folder.empty() ? "." : folder) / name;
        if (IsExecutableFile(candidate))
            return candidate;
        start = end + 1;
    }
    return std::nullopt;
}

ProgramResult RunProgram(const std::vector<std::string>& arguments) {
    const std::string program = arguments.empty() ? "" : arguments.front();
    Pipes pipes;
    if (::pipe2(pipes.out, O_CLOEXEC) != 0 || ::pipe2(pipes.err, O_CLOEXEC) != 0)
        throw FileError("cannot run " + program + ": " + std::strerror(errno));

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipes.out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipes.err[1], 2);
    std::vector<std::string> copies = arguments;
    std::vector<char*> argv;
    for (std::string& a : copies)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        throw FileError("cannot run " + program + ": " + std::strerror(spawned));
    CloseFd(pipes.out[1]);
    CloseFd(pipes.err[1]);

    ProgramResult result;
    pollfd fds[2] = {{pipes.out[0], POLLIN, 0}, {pipes.err[0], POLLIN, 0}};
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                fds[i].fd = -1; // closed with the pipes
                continue;
            }
            (i == 0 ? result.out : result.err).append(buffer, std::size_t(n));
        }
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace cli
