#include "ToolRun.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace clitest {
namespace {

// The environment the child gets, built before fork (nothing but async-signal-safe calls after it).
std::vector<std::string> ChildEnvironment(const std::vector<std::pair<std::string, std::string>>& extra) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        bool replaced = false;
        for (const auto& [name, value] : extra)
            replaced = replaced || entry.rfind(name + "=", 0) == 0;
        if (!replaced)
            env.push_back(entry);
    }
    for (const auto& [name, value] : extra)
        env.push_back(name + "=" + value);
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> p;
    for (auto& s : strings)
        p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

} // namespace

ToolResult RunTool(const std::vector<std::string>& arguments, const RunOptions& options) {
    const char* tool = std::getenv("TOVRIN_CLI");
    if (!tool || !*tool) {
        ADD_FAILURE() << "TOVRIN_CLI does not name the tool";
        return {};
    }
    std::vector<std::string> args{tool};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<std::string> env = ChildEnvironment(options.environment);
    std::vector<char*> argv = Pointers(args), envp = Pointers(env);

    int out[2] = {-1, -1}, err[2] = {-1, -1}, master = -1;
    const int devnull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    pid_t pid;
    if (options.terminal) {
        winsize size{};
        size.ws_col = options.columns;
        size.ws_row = 24;
        pid = ::forkpty(&master, nullptr, nullptr, options.columns ? &size : nullptr);
    } else {
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
            ADD_FAILURE() << "pipe: " << std::strerror(errno);
            return {};
        }
        pid = ::fork();
    }
    if (pid < 0) {
        ADD_FAILURE() << "fork: " << std::strerror(errno);
        return {};
    }
    if (pid == 0) {
        ::dup2(devnull, 0);
        if (!options.terminal) {
            ::dup2(out[1], 1);
            ::dup2(err[1], 2);
        }
        ::execve(tool, argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(devnull);
    if (!options.terminal) {
        ::close(out[1]);
        ::close(err[1]);
    }

    ToolResult result;
    std::vector<pollfd> fds;
    if (options.terminal)
        fds.push_back({master, POLLIN, 0});
    else
        fds = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int signalsSent = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeoutSeconds);
    while (true) {
        bool open = false;
        for (const pollfd& f : fds)
            open = open || f.fd >= 0;
        if (!open)
            break;
        int wait = options.interruptWhen ? 5 : options.interruptWhenProcess ? 20 : -1;
        if (options.timeoutSeconds > 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 && !result.timedOut) {
                result.timedOut = true;
                ::kill(pid, SIGKILL);
            }
            wait = left.count() <= 0 ? 100 : wait < 0 ? int(left.count()) : std::min(wait, int(left.count()));
        }
        if (::poll(fds.data(), fds.size(), wait) < 0 && errno != EINTR)
            break;
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buf[4096];
            const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n <= 0) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                continue;
            }
            (i == 0 ? result.out : result.err).append(buf, std::size_t(n));
        }
        if ((options.interruptWhen || options.interruptWhenProcess) && signalsSent < options.interruptCount &&
            (signalsSent > 0 || (options.interruptWhen && options.interruptWhen(result.out)) ||
             (options.interruptWhenProcess && options.interruptWhenProcess(int(pid))))) {
            ::kill(pid, options.interruptSignal);
            ++signalsSent;
        }
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.peakKb = usage.ru_maxrss;
    return result;
}

std::vector<std::string> NoWorkSettings() {
    return {"-s", "Blur Amount=0", "-s", "R=0", "-s", "G=0", "-s", "B=0", "-s", "A=0"};
}

Image MakeImage(int width, int height, int channels, OIIO::TypeDesc type) {
    Image image;
    image.width = width;
    image.height = height;
    image.channels = channels;
    image.type = type;
    image.bytes.resize(std::size_t(width) * std::size_t(height) * std::size_t(channels) * type.size());
    return image;
}

bool SamePixels(const std::filesystem::path& a, const std::filesystem::path& b) {
    const Image x = ReadImage(a), y = ReadImage(b);
    return x.width == y.width && x.height == y.height && x.channels == y.channels && x.type == y.type &&
           x.bytes == y.bytes;
}

Image ReadImage(const std::filesystem::path& path) {
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    auto in = OIIO::ImageInput::open(path.string(), &config);
    if (!in) {
        ADD_FAILURE() << "cannot read " << path << ": " << OIIO::geterror();
        return {};
    }
    const OIIO::ImageSpec& spec = in->spec();
    Image image = MakeImage(spec.width, spec.height, spec.nchannels, spec.format);
    image.spec = spec;
    EXPECT_TRUE(in->read_image(0, 0, 0, spec.nchannels, spec.format, image.bytes.data())) << in->geterror();
    return image;
}

void WriteImage(const std::filesystem::path& path, const Image& image,
                const std::vector<std::pair<std::string, std::string>>& attributes, bool premultiplied) {
    auto out = OIIO::ImageOutput::create(path.string());
    ASSERT_TRUE(out) << OIIO::geterror();
    OIIO::ImageSpec spec(image.width, image.height, image.channels, image.type);
    if (image.channels == 4 || image.channels == 2) {
        spec.alpha_channel = image.channels - 1;
        if (!premultiplied && std::string(out->format_name()) != "openexr")
            spec.attribute("oiio:UnassociatedAlpha", 1);
    }
    for (const auto& [name, value] : attributes)
        spec.attribute(name, value);
    ASSERT_TRUE(out->open(path.string(), spec)) << out->geterror();
    ASSERT_TRUE(out->write_image(image.type, image.bytes.data())) << out->geterror();
    ASSERT_TRUE(out->close()) << out->geterror();
}

Image CelFrame8(int width, int height, int seed) {
    Image image = MakeImage(width, height, 4, OIIO::TypeDesc::UINT8);
    std::uint8_t* p = image.Data<std::uint8_t>();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x, p += 4) {
            std::uint8_t c[4] = {200, 120, 40, 255};
            if (x + seed > y * 2) { // a hard diagonal edge
                c[0] = 250, c[1] = 245, c[2] = 235;
            }
            if (x >= width / 4 && x < width / 2 && y >= height / 4 && y < height * 3 / 4) {
                c[0] = 30, c[1] = 60, c[2] = 220;
            }
            if (y == 0) // a gradient row
                c[0] = std::uint8_t(x * 255 / (width - 1));
            if (x == width - 2) { // half transparent
                c[0] = 90, c[1] = 30, c[2] = 60, c[3] = 128;
            }
            if (x == width - 1) { // transparent, with colour that must survive
                c[0] = 17, c[1] = 99, c[2] = 201, c[3] = 0;
            }
            std::memcpy(p, c, 4);
        }
    return image;
}

void ToolTest::SetUp() {
    std::string templ = (std::filesystem::temp_directory_path() / "tovrin-cli-XXXXXX").string();
    ASSERT_NE(::mkdtemp(templ.data()), nullptr);
    dir_ = templ;
}

void ToolTest::TearDown() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

std::vector<std::string> ToolTest::Listing() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace clitest
