#include "host/Process.h"

#include "host/HostError.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
extern char** environ;
#endif

namespace host {

#if defined(_WIN32)

namespace {

std::wstring Wide(const std::string& s) {
    if (s.empty())
        return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), int(s.size()), nullptr, 0);
    std::wstring w(std::size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.c_str(), int(s.size()), w.data(), n);
    return w;
}

// One argument quoted so that the C runtime's parser gives it back unchanged.
std::wstring Quote(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos)
        return arg;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"')
            out.append(backslashes * 2 + 1, L'\\');
        else
            out.append(backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

} // namespace

std::filesystem::path SelfPath() {
    std::wstring buffer(32768, L'\0');
    DWORD n = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
    buffer.resize(n);
    return buffer;
}

ProcessResult RunProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                         const std::vector<std::pair<std::string, std::string>>& environment,
                         const std::string* rawCommandLineTail) {
    std::wstring commandLine = Quote(program.wstring());
    if (rawCommandLineTail)
        commandLine += L" " + Wide(*rawCommandLineTail);
    else
        for (const std::string& a : arguments)
            commandLine += L" " + Quote(Wide(a));

    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        throw HostError("cannot make a pipe for a child process");
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    // The child inherits this process's environment with the extra variables set for its start only.
    std::vector<std::pair<std::wstring, std::wstring>> saved;
    for (const auto& [name, value] : environment) {
        std::wstring n = Wide(name);
        DWORD size = GetEnvironmentVariableW(n.c_str(), nullptr, 0);
        std::wstring old;
        if (size) {
            old.resize(size);
            old.resize(GetEnvironmentVariableW(n.c_str(), old.data(), size));
        }
        saved.emplace_back(n, size ? old : std::wstring(1, L'\x01'));
        SetEnvironmentVariableW(n.c_str(), Wide(value).c_str());
    }

    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    // A start can fail once for a passing reason (seen under Wine as an internal error while its server is
    // busy): two more tries before the failure is reported, with the error of the last try itself.
    BOOL started = FALSE;
    DWORD startError = 0;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        if (attempt > 0)
            Sleep(100);
        started = CreateProcessW(program.wstring().c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                 nullptr, nullptr, &si, &pi);
        startError = started ? 0 : GetLastError();
    }
    for (const auto& [name, old] : saved)
        SetEnvironmentVariableW(name.c_str(), old == std::wstring(1, L'\x01') ? nullptr : old.c_str());
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        throw HostError("cannot start '" + program.string() + "' (error " + std::to_string(startError) + ")");
    }
    ProcessResult result;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof(buffer), &got, nullptr) && got > 0)
        result.output.append(buffer, got);
    CloseHandle(readEnd);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    result.exitCode = int(code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return result;
}

#else

std::filesystem::path SelfPath() {
    return std::filesystem::read_symlink("/proc/self/exe");
}

ProcessResult RunProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                         const std::vector<std::pair<std::string, std::string>>& environment,
                         const std::string* rawCommandLineTail) {
    std::vector<std::string> args{program.string()};
    if (rawCommandLineTail) {
        // Outside Windows a process has no command line, only arguments: split at spaces.
        std::string word;
        for (char c : *rawCommandLineTail + " ") {
            if (c == ' ') {
                if (!word.empty())
                    args.push_back(word);
                word.clear();
            } else {
                word += c;
            }
        }
    } else {
        args.insert(args.end(), arguments.begin(), arguments.end());
    }
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    // The environment is built here, before the child exists: nothing but exec runs in the child.
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        bool replaced = false;
        for (const auto& [name, value] : environment)
            replaced = replaced || entry.rfind(name + "=", 0) == 0;
        if (!replaced)
            env.push_back(entry);
    }
    for (const auto& [name, value] : environment)
        env.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        throw HostError("cannot make a pipe for a child process");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (rc != 0) {
        close(pipeFds[0]);
        throw HostError("cannot start '" + program.string() + "': " + std::strerror(rc));
    }
    ProcessResult result;
    char buffer[4096];
    for (;;) {
        ssize_t got = read(pipeFds[0], buffer, sizeof(buffer));
        if (got > 0)
            result.output.append(buffer, std::size_t(got));
        else if (got == 0 || errno != EINTR)
            break;
    }
    close(pipeFds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode =
        WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    return result;
}

#endif

} // namespace host
