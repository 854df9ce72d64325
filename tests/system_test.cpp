// Real descriptors in real conditions: full devices, closed descriptors,
// non-blocking pipes, readers that go away, and a terminal.
#include "harness.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace
{

void set_nonblocking(int fd)
{
    ASSERT_EQ(fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK), 0);
}

TEST(System, FullStandardOutputFailsWithItsMessage)
{
    TempDir dir;
    write_file(dir.path("in"), "hello");
    Launch how;
    how.in = open_input(dir.path("in"));
    how.out = open_output("/dev/full");
    how.err = open_output(dir.path("err"));
    pid_t pid = launch_and_close(how);
    EXPECT_EQ(wait_for(pid), "exit 1");
    EXPECT_BYTES(read_file(dir.path("err")), failure_message(1, "No space left on device"));
}

// Past the file size limit the default SIGXFSZ ends the run, as it ends tee.
TEST(System, FileSizeLimitEndsTheRunBySignal)
{
    TempDir dir;
    write_file(dir.path("in"), every_byte(100000));
    Launch how;
    how.in = open_input(dir.path("in"));
    how.out = open_output(dir.path("out"));
    how.err = open_output(dir.path("err"));
    how.file_size_limit = 4096;
    pid_t pid = launch_and_close(how);
    EXPECT_EQ(wait_for(pid), "signal " + std::to_string(SIGXFSZ));
    EXPECT_EQ(read_file(dir.path("out")).size(), 4096U);
}

// Each standard descriptor closed in turn.
struct ClosedCase {
    std::string name;
    int closed;
    std::string out;
    std::string err;
};

using Closed = testing::TestWithParam<ClosedCase>;

INSTANTIATE_TEST_SUITE_P(
    System, Closed,
    testing::Values(ClosedCase{.name = "descriptor0",
                               .closed = 0,
                               .err = failure_message(0, "Bad file descriptor")},
                    ClosedCase{.name = "descriptor1",
                               .closed = 1,
                               .err = failure_message(1, "Bad file descriptor")},
                    ClosedCase{.name = "descriptor2", .closed = 2, .out = "hello"}),
    case_name<ClosedCase>);

TEST_P(Closed, DescriptorFailsTheRun)
{
    TempDir dir;
    write_file(dir.path("in"), "hello");
    Launch how;
    how.in = open_input(dir.path("in"));
    how.out = open_output(dir.path("out"));
    how.err = open_output(dir.path("err"));
    int *fds[3] = {&how.in, &how.out, &how.err};
    close(*fds[GetParam().closed]);
    *fds[GetParam().closed] = -1;
    pid_t pid = launch_and_close(how);
    EXPECT_EQ(wait_for(pid), "exit 1");
    EXPECT_BYTES(read_file(dir.path("out")), GetParam().out);
    EXPECT_BYTES(read_file(dir.path("err")), GetParam().err);
}

// A non-blocking pipe on one side, served slowly: the program meets real
// EAGAIN and short writes, waits in poll, and loses nothing.
struct SlowCase {
    std::string name;
    int fd;
};

using NonBlocking = testing::TestWithParam<SlowCase>;

INSTANTIATE_TEST_SUITE_P(System, NonBlocking,
                         testing::Values(SlowCase{.name = "descriptor0", .fd = 0},
                                         SlowCase{.name = "descriptor1", .fd = 1},
                                         SlowCase{.name = "descriptor2", .fd = 2}),
                         case_name<SlowCase>);

TEST_P(NonBlocking, SlowPipeLosesNothing)
{
    const int slow = GetParam().fd;
    std::string input = every_byte(1 << 20, 11);
    TempDir dir;
    write_file(dir.path("in"), input);
    Pipe pipe;
    Launch how;
    how.in = open_input(dir.path("in"));
    how.out = open_output(dir.path("out"));
    how.err = open_output(dir.path("err"));
    int *fds[3] = {&how.in, &how.out, &how.err};
    close(*fds[slow]);
    *fds[slow] = slow == 0 ? pipe.read_end : pipe.write_end;
    set_nonblocking(*fds[slow]);
    record_calls(&how, dir.path("log"));
    pid_t pid = launch(how);
    for (int *fd : fds)
        if (*fd != pipe.read_end && *fd != pipe.write_end)
            close(*fd);

    std::string through_pipe;
    if (slow == 0) {
        pipe.close_read();
        for (size_t done = 0; done < input.size(); done += 5000) {
            write_all(pipe.write_end, input.substr(done, 5000));
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        pipe.close_write();
    } else {
        pipe.close_write();
        char block[3000];
        for (ssize_t got; (got = read(pipe.read_end, block, sizeof block)) != 0;) {
            ASSERT_GT(got, 0);
            through_pipe.append(block, static_cast<size_t>(got));
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }

    EXPECT_EQ(wait_for(pid), "exit 0");
    // The output on the slow pipe is what came through it; the others are files.
    for (int fd : {1, 2}) {
        std::string copy = fd == slow ? through_pipe : read_file(dir.path(fd == 1 ? "out" : "err"));
        EXPECT_BYTES(copy, input) << "descriptor " << fd << "'s copy differs";
    }
    SKIP_UNLESS_RECORDED();
    std::vector<std::string> calls = read_lines(dir.path("log"));
    EXPECT_EQ(check_calls(calls), "");
    size_t waits = 0;
    for (const std::string &call : calls) {
        if (call.rfind("poll ", 0) != 0)
            continue;
        ++waits;
        // A poll without a timeout returns once the descriptor is ready, not
        // at once to be made again in a busy loop.
        EXPECT_TRUE(call.ends_with(" = 1")) << call;
    }
    EXPECT_GT(waits, 0U) << "the slow pipe never made the program wait";
}

// An output pipe whose reader has gone: the default SIGPIPE ends the program
// as it ends cat; with SIGPIPE ignored the EPIPE is an ordinary failure.
struct GoneCase {
    std::string name;
    int fd;
    bool ignore_sigpipe;
    std::string ended;
    std::string other_output;
};

using ReaderGone = testing::TestWithParam<GoneCase>;

INSTANTIATE_TEST_SUITE_P(System, ReaderGone,
                         testing::Values(GoneCase{.name = "descriptor1_sigpipe_default",
                                                  .fd = 1,
                                                  .ignore_sigpipe = false,
                                                  .ended = "signal 13"},
                                         GoneCase{
                                             .name = "descriptor1_sigpipe_ignored",
                                             .fd = 1,
                                             .ignore_sigpipe = true,
                                             .ended = "exit 1",
                                             .other_output = failure_message(1, "Broken pipe")},
                                         GoneCase{.name = "descriptor2_sigpipe_default",
                                                  .fd = 2,
                                                  .ignore_sigpipe = false,
                                                  .ended = "signal 13",
                                                  .other_output = "hello"},
                                         GoneCase{.name = "descriptor2_sigpipe_ignored",
                                                  .fd = 2,
                                                  .ignore_sigpipe = true,
                                                  .ended = "exit 1",
                                                  .other_output = "hello"}),
                         case_name<GoneCase>);

TEST_P(ReaderGone, EndsTheRun)
{
    TempDir dir;
    write_file(dir.path("in"), "hello");
    Pipe pipe;
    pipe.close_read();
    Launch how;
    how.in = open_input(dir.path("in"));
    int other = open_output(dir.path("other"));
    how.out = GetParam().fd == 1 ? pipe.write_end : other;
    how.err = GetParam().fd == 2 ? pipe.write_end : other;
    how.ignore_sigpipe = GetParam().ignore_sigpipe;
    pid_t pid = launch(how);
    close(how.in);
    close(other);
    EXPECT_EQ(wait_for(pid), GetParam().ended);
    EXPECT_BYTES(read_file(dir.path("other")), GetParam().other_output);
}

// An output pipe with room for less than four chunks is widened to four, so
// the program and its reader can run at once; a wider one and the input are
// left as they are.
// Pipe sizes in bytes, as F_SETPIPE_SZ takes them.
const int chunk = static_cast<int>(ChunkSize);

struct WidenCase {
    std::string name;
    int out_before;
    int err_before;
    int out_after;
    int err_after;
};

using Widening = testing::TestWithParam<WidenCase>;

INSTANTIATE_TEST_SUITE_P(System, Widening,
                         testing::Values(WidenCase{.name = "out_4096_err_65536",
                                                   .out_before = 4096,
                                                   .err_before = chunk,
                                                   .out_after = 4 * chunk,
                                                   .err_after = 4 * chunk},
                                         WidenCase{.name = "out_131072_err_524288",
                                                   .out_before = 2 * chunk,
                                                   .err_before = 8 * chunk,
                                                   .out_after = 4 * chunk,
                                                   .err_after = 8 * chunk}),
                         case_name<WidenCase>);

TEST_P(Widening, OutputPipesAreWidenedNeverNarrowed)
{
    Pipe in, out, err;
    ASSERT_EQ(fcntl(in.write_end, F_SETPIPE_SZ, chunk), chunk);
    // With 64 KiB memory pages, a pipe of 4096 bytes becomes one of a page.
    ASSERT_GE(fcntl(out.write_end, F_SETPIPE_SZ, GetParam().out_before), GetParam().out_before);
    ASSERT_EQ(fcntl(err.write_end, F_SETPIPE_SZ, GetParam().err_before), GetParam().err_before);
    Launch how;
    how.in = in.read_end;
    how.out = out.write_end;
    how.err = err.write_end;
    pid_t pid = launch(how);
    in.close_write();
    EXPECT_EQ(wait_for(pid), "exit 0");
    EXPECT_EQ(fcntl(in.read_end, F_GETPIPE_SZ), chunk);
    EXPECT_EQ(fcntl(out.read_end, F_GETPIPE_SZ), GetParam().out_after);
    EXPECT_EQ(fcntl(err.read_end, F_GETPIPE_SZ), GetParam().err_after);
}

// Standard input's own file as an output would be copied onto its own end
// until the disk is full: refused before any byte is written, as long as some
// of the input is still unread.
using InputIsOutput = testing::TestWithParam<SameFileCase>;

INSTANTIATE_TEST_SUITE_P(System, InputIsOutput, testing::ValuesIn(same_file_cases()),
                         case_name<SameFileCase>);

TEST_P(InputIsOutput, IsRefusedBeforeAnythingIsWritten)
{
    TempDir dir;
    Launch how;
    record_calls(&how, dir.path("log"));
    EXPECT_EQ(wait_for(launch_on_input_file(dir, GetParam(), how)), GetParam().ended);
    EXPECT_TRUE(input_file_unchanged(dir, GetParam()));
    EXPECT_BYTES(read_file(dir.path("other")), GetParam().message);
    if (GetParam().ended == "exit 0")
        return;
    SKIP_UNLESS_RECORDED();
    // Not even the zero-byte writes: the only call is the message, if any.
    std::vector<std::string> calls;
    if (access(dir.path("log").c_str(), F_OK) == 0)
        calls = read_lines(dir.path("log"));
    std::vector<std::string> message_only;
    if (!GetParam().message.empty())
        message_only.push_back(whole_write(2, GetParam().message));
    EXPECT_LINES(calls, message_only);
}

// Both outputs get each piece before the next piece is even written.
TEST(System, PipesSeeEachPieceBeforeTheNextIsSent)
{
    Pipe in, out, err;
    Launch how;
    how.in = in.read_end;
    how.out = out.write_end;
    how.err = err.write_end;
    pid_t pid = launch(how);
    in.close_read();
    out.close_write();
    err.close_write();

    const std::vector<std::string> pieces{"one\n", "two, no newline", std::string(70000, 'x'),
                                          "\n"};
    for (const std::string &piece : pieces) {
        write_all(in.write_end, piece);
        EXPECT_BYTES(read_some(out.read_end, piece.size(), 5000), piece) << "standard output";
        EXPECT_BYTES(read_some(err.read_end, piece.size(), 5000), piece) << "standard error";
    }
    in.close_write();
    EXPECT_BYTES(drain(out.read_end), "");
    EXPECT_BYTES(drain(err.read_end), "");
    EXPECT_EQ(wait_for(pid), "exit 0");
}

// A pseudo-terminal in line mode, without echo and with its output
// unprocessed, so that what the program writes is read back unchanged.
struct Terminal {
    int master = -1;
    int slave = -1;
    char eof_key = 0;
    Terminal()
    {
        if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
            return;
        fcntl(master, F_SETFD, FD_CLOEXEC);
        fcntl(slave, F_SETFD, FD_CLOEXEC);
        struct termios mode;
        tcgetattr(slave, &mode);
        mode.c_lflag |= ICANON;
        mode.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        mode.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        tcsetattr(slave, TCSANOW, &mode);
        eof_key = static_cast<char>(mode.c_cc[VEOF]);
    }
    ~Terminal()
    {
        close(master);
        if (slave >= 0)
            close(slave);
    }
    Terminal(const Terminal &) = delete;
    Terminal &operator=(const Terminal &) = delete;
};

// On a terminal in line mode each line shows on both outputs once entered,
// and the end-of-input key ends the run with status 0.
TEST(System, TerminalLinesShowWhenEnteredAndEofKeyEnds)
{
    Terminal terminal;
    ASSERT_GE(terminal.master, 0);
    Pipe out, err;
    Launch how;
    how.in = terminal.slave;
    how.out = out.write_end;
    how.err = err.write_end;
    pid_t pid = launch(how);
    out.close_write();
    err.close_write();

    for (std::string line : {"first line\n", "\n", "second line\n"}) {
        write_all(terminal.master, line);
        EXPECT_BYTES(read_some(out.read_end, line.size(), 5000), line);
        EXPECT_BYTES(read_some(err.read_end, line.size(), 5000), line);
    }
    write_all(terminal.master, std::string(1, terminal.eof_key));
    EXPECT_BYTES(drain(out.read_end), "");
    EXPECT_BYTES(drain(err.read_end), "");
    EXPECT_EQ(wait_for(pid), "exit 0");
}

// pipetap typed at a prompt: all three descriptors on one terminal. Input
// and output are one file there, but no regular file that the copy could
// feed: each line shows twice, and the end-of-input key ends the run.
TEST(System, OneTerminalForAllThreeDescriptorsIsNoInputFile)
{
    Terminal terminal;
    ASSERT_GE(terminal.master, 0);
    Launch how;
    how.in = terminal.slave;
    how.out = terminal.slave;
    how.err = terminal.slave;
    pid_t pid = launch(how);
    close(terminal.slave);
    terminal.slave = -1;

    write_all(terminal.master, "a line\n");
    EXPECT_BYTES(read_some(terminal.master, 14, 5000), "a line\na line\n");
    write_all(terminal.master, std::string(1, terminal.eof_key));
    EXPECT_EQ(wait_for(pid), "exit 0");
}

// The same with input and output on the null device, opened twice.
TEST(System, NullDeviceAsInputAndOutputIsNoInputFile)
{
    TempDir dir;
    Launch how;
    how.in = open_input("/dev/null");
    how.out = open_output("/dev/null");
    how.err = open_output(dir.path("err"));
    pid_t pid = launch_and_close(how);
    EXPECT_EQ(wait_for(pid), "exit 0");
    EXPECT_BYTES(read_file(dir.path("err")), "");
}

} // namespace
