#include "harness.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <random>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

extern char **environ;

namespace
{

[[noreturn]] void die(const std::string &what)
{
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

} // namespace

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "pipetap-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        die("mkdtemp");
    root_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::string TempDir::path(const std::string &name) const
{
    return root_ + "/" + name;
}

std::string read_file(const std::string &path)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        die("open " + path);
    std::string data = drain(fd);
    close(fd);
    return data;
}

void write_file(const std::string &path, const std::string &data)
{
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        die("open " + path);
    write_all(fd, data);
    close(fd);
}

std::string every_byte(size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>(i < 256 ? i : random() & 0xff);
    return data;
}

std::string each_chunk_twice(const std::string &input)
{
    const size_t chunk = 65536;
    std::string doubled;
    for (size_t at = 0; at < input.size(); at += chunk)
        doubled += input.substr(at, chunk) + input.substr(at, chunk);
    return doubled;
}

pid_t launch(const Launch &how)
{
    // Everything the child needs is made before fork: it may only make
    // async-signal-safe calls until exec.
    std::vector<std::string> args = how.command;
    if (args.empty())
        args.emplace_back(PIPETAP_PATH);
    args.insert(args.end(), how.args.begin(), how.args.end());
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    std::vector<std::string> env_strings;
    for (char **entry = environ; *entry != nullptr; ++entry)
        env_strings.emplace_back(*entry);
    env_strings.insert(env_strings.end(), how.env.begin(), how.env.end());
    std::vector<char *> envp;
    for (std::string &entry : env_strings)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    // Parent side of every pipe a test writes to survives its reader going away.
    signal(SIGPIPE, SIG_IGN);

    pid_t pid = fork();
    if (pid < 0)
        die("fork");
    if (pid > 0)
        return pid;

    // Move the sources out of the way first: one may itself be 0, 1 or 2.
    const int sources[3] = {how.in, how.out, how.err};
    int moved[3];
    for (int i = 0; i < 3; ++i)
        moved[i] = sources[i] < 0 ? -1 : fcntl(sources[i], F_DUPFD_CLOEXEC, 10);
    for (int i = 0; i < 3; ++i) {
        if (moved[i] >= 0)
            dup2(moved[i], i);
        else
            close(i);
    }
    signal(SIGPIPE, how.ignore_sigpipe ? SIG_IGN : SIG_DFL);
    if (how.file_size_limit > 0) {
        const struct rlimit limit = {static_cast<rlim_t>(how.file_size_limit),
                                     static_cast<rlim_t>(how.file_size_limit)};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            _exit(126);
    }
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
}

std::string wait_for(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            die("waitpid");
    if (WIFEXITED(status))
        return "exit " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return "signal " + std::to_string(WTERMSIG(status));
    return "status " + std::to_string(status);
}

const std::string same_file_content = "first line\nsecond line\n";

void PrintTo(const SameFileCase &same, std::ostream *out)
{
    *out << same.name;
}

const std::vector<SameFileCase> &same_file_cases()
{
    static const std::string refused = "pipetap: standard output: input file is output file\n";
    static const std::vector<SameFileCase> cases{
        {"StandardOutput", true, false, 0, "exit 1", refused},
        {"StandardOutputPartlyRead", true, false, 5, "exit 1", refused},
        {"StandardError", false, true, 0, "exit 1", ""},
        {"BothOutputs", true, true, 0, "exit 1", ""},
        {"InputAtItsEnd", true, true, static_cast<off_t>(same_file_content.size()), "exit 0", ""}};
    return cases;
}

pid_t launch_on_input_file(const TempDir &dir, const SameFileCase &same, Launch how)
{
    write_file(dir.path("file"), same_file_content);
    how.in = open(dir.path("file").c_str(), O_RDONLY | O_CLOEXEC);
    if (how.in < 0 || lseek(how.in, same.already_read, SEEK_SET) != same.already_read)
        die("open and seek " + dir.path("file"));
    int appending = open(dir.path("file").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    int other = open(dir.path("other").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (appending < 0 || other < 0)
        die("open");
    how.out = same.out_is_input ? appending : other;
    how.err = same.err_is_input ? appending : other;
    how.file_size_limit = 1 << 20;
    pid_t pid = launch(how);
    close(how.in);
    close(appending);
    close(other);
    return pid;
}

Script actions(std::string read0, std::string write1, std::string write2)
{
    Script script;
    script.read0 = std::move(read0);
    script.write1 = std::move(write1);
    script.write2 = std::move(write2);
    return script;
}

std::vector<std::string> recording_env(const std::string &log_path, const Script &script)
{
    std::vector<std::string> env{"LD_PRELOAD=" INTERPOSE_PATH, "TAP_LOG=" + log_path};
    const std::pair<const char *, const std::string *> scripted[] = {
        {"TAP_READ0=", &script.read0},   {"TAP_WRITE1=", &script.write1},
        {"TAP_WRITE2=", &script.write2}, {"TAP_POLL=", &script.poll},
        {"TAP_CLOSE1=", &script.close1}, {"TAP_CLOSE2=", &script.close2}};
    for (const auto &[variable, actions] : scripted)
        if (!actions->empty())
            env.push_back(variable + *actions);
    if (script.fail_malloc)
        env.emplace_back("TAP_MALLOC=fail");
    return env;
}

std::vector<std::string> read_lines(const std::string &path)
{
    std::vector<std::string> lines;
    std::istringstream text(read_file(path));
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    return lines;
}

Outcome run(const std::string &input, const Script &script)
{
    TempDir dir;
    write_file(dir.path("in"), input);
    int in = open(dir.path("in").c_str(), O_RDONLY | O_CLOEXEC);
    int out = open(dir.path("out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    int err = script.one_file ? dup(out)
                              : open(dir.path("err").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (in < 0 || out < 0 || err < 0)
        die("open");
    Launch how;
    how.in = in;
    how.out = out;
    how.err = err;
    how.args = script.args;
    how.env = recording_env(dir.path("log"), script);
    pid_t pid = launch(how);
    close(in);
    close(out);
    close(err);
    Outcome result;
    result.ended = wait_for(pid);
    result.out = read_file(dir.path("out"));
    result.err = read_file(dir.path(script.one_file ? "out" : "err"));
    if (access(dir.path("log").c_str(), F_OK) == 0)
        result.calls = read_lines(dir.path("log"));
    return result;
}

std::string check_calls(const std::vector<std::string> &calls)
{
    // Expected next: a read, or the writes of chunk_size bytes to descriptor
    // writing, of which left are still to go; after the end, closes of 1 and 2.
    long chunk_size = -1;
    int writing = 0;
    long left = 0;
    bool ended = false;
    int closed = 0;
    for (size_t i = 0; i < calls.size(); ++i) {
        std::istringstream call(calls[i]);
        std::string name, equals, error;
        int fd = -1;
        long asked = 0, result = 0;
        std::string where = "call " + std::to_string(i + 1) + " \"" + calls[i] + "\": ";
        call >> name >> fd;
        if (ended) {
            if (name != "close" || fd != closed + 1)
                return where + "after the end of input, other than closing 1, then 2";
            closed = fd;
            continue;
        }
        call >> asked >> equals >> result >> error;
        if (name == "poll")
            return where + "poll without EAGAIN";
        if (result < 0 && error == "EAGAIN") {
            // Interrupted polls are made again.
            const std::string poll = "poll " + std::to_string(fd);
            if (i + 1 == calls.size() || calls[i + 1].rfind(poll, 0) != 0)
                return where + "EAGAIN not followed by a poll on its descriptor";
            while (i + 1 < calls.size() && calls[i + 1].rfind(poll, 0) == 0)
                ++i;
        }
        if (name == "read") {
            if (writing != 0)
                return where + "read before the chunk went out whole";
            if (fd != 0 || asked != 65536)
                return where + "not a read of 65536 bytes from descriptor 0";
            if (result >= 0) {
                chunk_size = result;
                writing = 1;
                left = result;
            }
            continue;
        }
        if (name != "write")
            return where + "unknown call";
        if (fd != writing)
            return where + "write out of turn";
        if (asked != left)
            return where + "asked for other than the rest of the chunk";
        if (result < 0)
            continue;
        left -= result;
        if (left > 0)
            continue;
        if (writing == 1) {
            writing = 2;
            left = chunk_size;
        } else {
            writing = 0;
            ended = chunk_size == 0;
        }
    }
    if (!ended)
        return "the calls end before a cycle that reads 0";
    return closed == 2 ? "" : "the calls end before both outputs are closed";
}

std::string drain(int fd)
{
    std::string data;
    char block[65536];
    for (;;) {
        ssize_t got = read(fd, block, sizeof block);
        if (got > 0)
            data.append(block, static_cast<size_t>(got));
        else if (got == 0)
            return data;
        else if (errno != EINTR)
            die("read");
    }
}

std::string read_some(int fd, size_t size, int timeout_ms)
{
    std::string data;
    char block[65536];
    while (data.size() < size) {
        struct pollfd ready = {fd, POLLIN, 0};
        int count = poll(&ready, 1, timeout_ms);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        ssize_t got = read(fd, block, std::min(sizeof block, size - data.size()));
        if (got <= 0)
            break;
        data.append(block, static_cast<size_t>(got));
    }
    return data;
}

void write_all(int fd, const std::string &data)
{
    size_t done = 0;
    while (done < data.size()) {
        ssize_t wrote = write(fd, data.data() + done, data.size() - done);
        if (wrote > 0)
            done += static_cast<size_t>(wrote);
        else if (wrote < 0 && errno == EAGAIN) {
            struct pollfd ready = {fd, POLLOUT, 0};
            poll(&ready, 1, -1);
        } else if (errno != EINTR)
            die("write");
    }
}
