#include "harness.h"

#include <algorithm>
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
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
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
    std::filesystem::create_directories(TEST_FILES_DIR);
    std::string pattern = TEST_FILES_DIR "/pipetap-test-XXXXXX";
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

namespace
{

int open_or_die(const std::string &path, int flags)
{
    int fd = open(path.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0)
        die("open " + path);
    return fd;
}

} // namespace

std::string read_file(const std::string &path, off_t from)
{
    int fd = open_input(path);
    if (lseek(fd, from, SEEK_SET) != from)
        die("lseek " + path);
    std::string data = drain(fd);
    close(fd);
    return data;
}

off_t file_size(const std::string &path)
{
    struct stat about;
    if (stat(path.c_str(), &about) != 0)
        die("stat " + path);
    return about.st_size;
}

void write_file(const std::string &path, const std::string &data)
{
    int fd = open_or_die(path, O_WRONLY | O_CREAT | O_TRUNC);
    write_all(fd, data);
    close(fd);
}

int open_input(const std::string &path)
{
    return open_or_die(path, O_RDONLY);
}

int open_output(const std::string &path)
{
    return open_or_die(path, O_WRONLY | O_CREAT);
}

int open_appending(const std::string &path)
{
    return open_or_die(path, O_WRONLY | O_APPEND);
}

Pipe::Pipe()
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        die("pipe2");
    read_end = fds[0];
    write_end = fds[1];
}

Pipe::~Pipe()
{
    close_read();
    close_write();
}

void Pipe::close_read()
{
    if (read_end >= 0)
        close(read_end);
    read_end = -1;
}

void Pipe::close_write()
{
    if (write_end >= 0)
        close(write_end);
    write_end = -1;
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
    std::string doubled;
    for (size_t at = 0; at < input.size(); at += ChunkSize)
        doubled += input.substr(at, ChunkSize) + input.substr(at, ChunkSize);
    return doubled;
}

std::string pipetap_binary()
{
    const char *chosen = std::getenv("PIPETAP_BINARY");
    return chosen != nullptr && *chosen != '\0' ? chosen : PIPETAP_PATH;
}

pid_t launch(const Launch &how)
{
    // Everything the child needs is made before fork: it may only make
    // async-signal-safe calls until exec.
    std::vector<std::string> args = how.command;
    if (args.empty())
        args.push_back(pipetap_binary());
    args.insert(args.end(), how.args.begin(), how.args.end());
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    // how.env's variables take the place of this process's of the same name.
    std::vector<std::string> env_strings = how.env;
    for (char **entry = environ; *entry != nullptr; ++entry) {
        std::string_view name(*entry, strcspn(*entry, "="));
        auto same_name = [name](const std::string &set) {
            return set.size() > name.size() && set.compare(0, name.size(), name) == 0 &&
                   set[name.size()] == '=';
        };
        if (std::none_of(how.env.begin(), how.env.end(), same_name))
            env_strings.emplace_back(*entry);
    }
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
    const std::pair<int, long long> limits[] = {{RLIMIT_FSIZE, how.file_size_limit},
                                                {RLIMIT_CPU, how.cpu_limit}};
    for (const auto &[resource, most] : limits) {
        const struct rlimit limit = {static_cast<rlim_t>(most), static_cast<rlim_t>(most)};
        if (most > 0 && setrlimit(resource, &limit) != 0)
            _exit(126);
    }
    // Kept across exec: the run ends with SIGALRM, which pipetap leaves alone.
    alarm(how.time_limit);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
}

pid_t launch_and_close(const Launch &how)
{
    pid_t pid = launch(how);
    const int fds[] = {how.in, how.out, how.err};
    for (int i = 0; i < 3; ++i)
        if (fds[i] >= 0 && std::find(fds, fds + i, fds[i]) == fds + i)
            close(fds[i]);
    return pid;
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
    static const std::string refused = failure_message(1, "input file is output file");
    static const std::vector<SameFileCase> cases{
        {.name = "StandardOutput", .out_is_input = true, .ended = "exit 1", .message = refused},
        {.name = "StandardOutputPartlyRead",
         .out_is_input = true,
         .already_read = 5,
         .ended = "exit 1",
         .message = refused},
        {.name = "StandardError", .err_is_input = true, .ended = "exit 1"},
        {.name = "BothOutputs", .out_is_input = true, .err_is_input = true, .ended = "exit 1"},
        {.name = "InputAtItsEnd",
         .out_is_input = true,
         .err_is_input = true,
         .already_read = static_cast<off_t>(same_file_content.size()),
         .ended = "exit 0"},
        // Past 2 and 4 GiB, where 32-bit sizes and offsets would fail or wrap.
        {.name = "StandardOutputPast2GiB",
         .out_is_input = true,
         .size = (off_t{2} << 30) + 1,
         .ended = "exit 1",
         .message = refused},
        {.name = "StandardOutputPast4GiB",
         .out_is_input = true,
         .size = (off_t{4} << 30) + 1,
         .ended = "exit 1",
         .message = refused},
        {.name = "StandardErrorPast4GiB",
         .err_is_input = true,
         .size = (off_t{4} << 30) + 1,
         .ended = "exit 1"}};
    return cases;
}

pid_t launch_on_input_file(const TempDir &dir, const SameFileCase &same, Launch how)
{
    write_file(dir.path("file"), same_file_content);
    if (same.size > 0 && truncate(dir.path("file").c_str(), same.size) != 0)
        die("truncate " + dir.path("file"));
    how.in = open_input(dir.path("file"));
    if (lseek(how.in, same.already_read, SEEK_SET) != same.already_read)
        die("lseek " + dir.path("file"));
    int appending = open_appending(dir.path("file"));
    int other = open_output(dir.path("other"));
    how.out = same.out_is_input ? appending : other;
    how.err = same.err_is_input ? appending : other;
    how.file_size_limit = 1 << 20;
    pid_t pid = launch(how);
    close(how.in);
    close(appending);
    close(other);
    return pid;
}

testing::AssertionResult input_file_unchanged(const TempDir &dir, const SameFileCase &same)
{
    const std::string path = dir.path("file");
    const off_t size = std::max(same.size, static_cast<off_t>(same_file_content.size()));
    if (file_size(path) != size)
        return testing::AssertionFailure()
               << "the input file is " << file_size(path) << " bytes, not " << size;
    int fd = open_input(path);
    std::string start = read_some(fd, same_file_content.size(), 1000);
    close(fd);
    if (start != same_file_content)
        return testing::AssertionFailure()
               << "the input file starts " << testing::PrintToString(start);
    return testing::AssertionSuccess();
}

bool musl_binary()
{
    static const bool musl = [] {
        const char *libc = std::getenv("PIPETAP_LIBC");
        const std::string named = libc != nullptr ? libc : "";
        if (named != "" && named != "glibc" && named != "musl")
            throw std::runtime_error("PIPETAP_LIBC is glibc or musl, not " + named);
        return named == "musl";
    }();
    return musl;
}

std::string failure_message(int fd, const std::string &reason)
{
    // musl's words, where they differ from glibc's, for the errors the tests cause.
    static const std::pair<std::string, std::string> musl_words[] = {
        {"Input/output error", "I/O error"},
        {"Disk quota exceeded", "Quota exceeded"},
        {"Cannot allocate memory", "Out of memory"}};
    std::string words = reason;
    for (const auto &[glibc, musl] : musl_words)
        if (musl_binary() && reason == glibc)
            words = musl;
    const char *stream = fd == 0 ? "standard input: " : fd == 1 ? "standard output: " : "";
    return "pipetap: " + std::string(stream) + words + "\n";
}

std::string chunk_read(const std::string &result)
{
    return "read 0 " + std::to_string(ChunkSize) + " = " + result;
}

std::string whole_write(int fd, size_t size)
{
    return "write " + std::to_string(fd) + " " + std::to_string(size) + " = " +
           std::to_string(size);
}

std::string whole_write(int fd, const std::string &data)
{
    return whole_write(fd, data.size());
}

std::vector<std::string> with_tail(std::vector<std::string> calls)
{
    calls.push_back(chunk_read("0"));
    for (const char *call : {"write 1 0 = 0", "write 2 0 = 0", "close 1 = 0", "close 2 = 0"})
        calls.emplace_back(call);
    return calls;
}

namespace
{

// Sets how up to run the pipetap under test with recorder.
void recorded_by(Recorder recorder, Launch *how)
{
    if (recorder == Recorder::Library) {
        // The loader splits LD_PRELOAD at spaces, but not the folders of
        // LD_LIBRARY_PATH, where it looks for a library named without one.
        const std::string library = INTERPOSE_PATH;
        const size_t slash = library.rfind('/');
        const char *searched = std::getenv("LD_LIBRARY_PATH");
        how->env.push_back("LD_PRELOAD=" + library.substr(slash + 1));
        how->env.push_back(
            "LD_LIBRARY_PATH=" + library.substr(0, slash) +
            (searched != nullptr && *searched != '\0' ? ":" + std::string(searched) : ""));
    } else if (recorder == Recorder::Tracer) {
        how->command = {TRACER_PATH, pipetap_binary()};
    }
}

// Whether recorder records a run of the pipetap under test.
bool records(Recorder recorder)
{
    TempDir dir;
    Launch how;
    how.in = open_input("/dev/null");
    how.out = open_output("/dev/null");
    how.err = how.out;
    how.env = {"TAP_LOADED=" + dir.path("loaded")};
    recorded_by(recorder, &how);
    wait_for(launch_and_close(how));
    return access(dir.path("loaded").c_str(), F_OK) == 0;
}

} // namespace

Recorder recorder()
{
    static const Recorder chosen = [] {
        const char *asked = std::getenv("PIPETAP_RECORDER");
        if (asked != nullptr && std::string(asked) == "trace") {
            if (!records(Recorder::Tracer))
                throw std::runtime_error("PIPETAP_RECORDER=trace: the tracer cannot run " +
                                         pipetap_binary());
            return Recorder::Tracer;
        }
        if (asked != nullptr && *asked != '\0')
            throw std::runtime_error("PIPETAP_RECORDER is trace or unset, not " +
                                     std::string(asked));
        if (records(Recorder::Library))
            return Recorder::Library;
        if (pipetap_binary() == PIPETAP_PATH)
            throw std::runtime_error(
                "the recording library does not load into this build's pipetap");
        return records(Recorder::Tracer) ? Recorder::Tracer : Recorder::None;
    }();
    return chosen;
}

void record_calls(Launch *how, const std::string &log_path, const Script &script)
{
    if (recorder() == Recorder::None)
        return;
    recorded_by(recorder(), how);
    std::vector<std::string> env{"TAP_LOG=" + log_path};
    const std::pair<const char *, const std::string *> scripted[] = {
        {"TAP_READ0=", &script.read0},   {"TAP_WRITE1=", &script.write1},
        {"TAP_WRITE2=", &script.write2}, {"TAP_POLL=", &script.poll},
        {"TAP_CLOSE1=", &script.close1}, {"TAP_CLOSE2=", &script.close2}};
    for (const auto &[variable, actions] : scripted)
        if (!actions->empty())
            env.push_back(variable + *actions);
    if (script.fail_malloc)
        env.emplace_back("TAP_MALLOC=fail");
    how->env.insert(how->env.end(), env.begin(), env.end());
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
    int out = open_output(dir.path("out"));
    int err = script.one_file ? fcntl(out, F_DUPFD_CLOEXEC, 0) : open_output(dir.path("err"));
    if (err < 0)
        die("dup");
    for (int fd : {out, err})
        if (ftruncate(fd, script.output_hole) != 0 ||
            lseek(fd, script.output_hole, SEEK_SET) != script.output_hole)
            die("a hole before the outputs");
    Launch how;
    how.in = open_input(dir.path("in"));
    how.out = out;
    how.err = err;
    how.args = script.args;
    how.file_size_limit = script.output_hole + RunFileSizeLimit;
    record_calls(&how, dir.path("log"), script);
    pid_t pid = launch_and_close(how);
    Outcome result;
    result.ended = wait_for(pid);
    result.out = read_file(dir.path("out"), script.output_hole);
    result.err = read_file(dir.path(script.one_file ? "out" : "err"), script.output_hole);
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
            if (fd != 0 || asked != static_cast<long>(ChunkSize))
                return where + "not a read of a whole chunk from descriptor 0";
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
    char block[ChunkSize];
    while (data.size() < static_cast<size_t>(RunFileSizeLimit)) {
        ssize_t got = read(fd, block, sizeof block);
        if (got > 0)
            data.append(block, static_cast<size_t>(got));
        else if (got == 0)
            return data;
        else if (errno != EINTR)
            die("read");
    }
    return data;
}

std::string read_some(int fd, size_t size, int timeout_ms)
{
    std::string data;
    char block[ChunkSize];
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

namespace
{

// Where two strings, or two lists of lines, first differ.
template <typename Sequence> size_t first_difference(const Sequence &one, const Sequence &other)
{
    auto [at, unused] = std::mismatch(one.begin(), one.end(), other.begin(), other.end());
    return static_cast<size_t>(at - one.begin());
}

// At most 40 bytes of data from about where they start to differ, quoted.
std::string excerpt(const std::string &data, size_t at)
{
    size_t from = at < 20 ? 0 : at - 20;
    return testing::PrintToString(data.substr(std::min(from, data.size()), 40));
}

} // namespace

testing::AssertionResult same_bytes(const char *actual_text, const char *expected_text,
                                    const std::string &actual, const std::string &expected)
{
    if (actual == expected)
        return testing::AssertionSuccess();
    size_t at = first_difference(actual, expected);
    return testing::AssertionFailure()
           << actual_text << " is not " << expected_text << ": " << actual.size() << " bytes where "
           << expected.size() << " were expected, the first difference at byte " << at
           << ":\n  got      " << excerpt(actual, at) << "\n  expected " << excerpt(expected, at);
}

testing::AssertionResult same_lines(const char *actual_text, const char *expected_text,
                                    const std::vector<std::string> &actual,
                                    const std::vector<std::string> &expected)
{
    if (actual == expected)
        return testing::AssertionSuccess();
    size_t at = first_difference(actual, expected);
    auto line = [at](const std::vector<std::string> &lines) {
        return at < lines.size() ? testing::PrintToString(lines[at].substr(0, 80)) : "(none)";
    };
    return testing::AssertionFailure()
           << actual_text << " is not " << expected_text << ": " << actual.size() << " lines where "
           << expected.size() << " were expected, the first difference at line " << at + 1
           << ":\n  got      " << line(actual) << "\n  expected " << line(expected);
}
