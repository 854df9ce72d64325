// The native Windows pipetap.exe, run under Wine: every byte passes unchanged
// (no CR LF translation, no stop at Ctrl+Z), in the same order and with the
// same failures as on POSIX.
#include "harness.h"

#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

namespace
{

// The pipetap.exe under test: the one this build made, or the one that
// PIPETAP_WINDOWS_EXE names, such as a release's.
std::string windows_exe()
{
    const char *chosen = std::getenv("PIPETAP_WINDOWS_EXE");
    return chosen != nullptr && *chosen != '\0' ? chosen : WINDOWS_EXE;
}

// Wine's settings: a prefix of the build's own, and no debugging chatter on
// standard error, which the tests compare.
std::vector<std::string> wine_env()
{
    return {"WINEPREFIX=" WINE_PREFIX, "WINEDEBUG=-all"};
}

class Windows : public testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        if (!available())
            return;
        // The first start of Wine creates its prefix and says so on standard
        // error: do it here, where nothing is compared, one test process at a
        // time, and with the standard descriptors open (without them the
        // prefix is never finished).
        int lock = open_output(WINE_PREFIX ".lock");
        ASSERT_EQ(flock(lock, LOCK_EX), 0);
        Launch how;
        how.command = {WINE_PATH, "cmd", "/c", "exit"};
        how.env = wine_env();
        how.in = open_input("/dev/null");
        how.out = open_output("/dev/null");
        how.err = how.out;
        how.file_size_limit = 0; // the prefix holds files of many megabytes
        how.cpu_limit = 0;       // and takes a while to make
        how.time_limit = 0;
        wait_for(launch(how));
        close(how.in);
        close(how.out);
        close(lock);
    }

    void SetUp() override
    {
        if (!available())
            GTEST_SKIP() << "MinGW-w64 cross compiler or Wine missing: Windows tests skipped";
    }

    static bool available()
    {
        return !windows_exe().empty() && !std::string(WINE_PATH).empty();
    }

    static Launch exe_launch()
    {
        Launch how;
        how.command = {WINE_PATH, windows_exe()};
        how.env = wine_env();
        return how;
    }

    // Starts pipetap.exe with standard input from in (a descriptor), standard
    // output and standard error on out and err (paths; the same path shares
    // one file).
    static pid_t start_exe(int in, const std::string &out, const std::string &err,
                           std::vector<std::string> args = {})
    {
        Launch how = exe_launch();
        how.args = std::move(args);
        how.in = in;
        how.out = open_output(out);
        how.err = err == out ? how.out : open_output(err);
        pid_t pid = launch(how);
        close(how.out);
        if (how.err != how.out)
            close(how.err);
        return pid;
    }
};

std::string awkward_bytes()
{
    // CR, LF, CR LF, LF CR, Ctrl+Z at the start, middle and end of lines, NUL.
    return std::string("\x1a"
                       "a\r\nb\nc\rd\n\re\x1a\r\n\x1a\x1a\n\0z\r\n\x1a",
                       22) +
           every_byte(1000);
}

struct CopyCase {
    std::string name;
    std::string input;
    bool from_pipe = false;
    std::vector<std::string> args;
};

void PrintTo(const CopyCase &copy, std::ostream *out)
{
    *out << copy.name;
}

class WindowsCopies : public Windows, public testing::WithParamInterface<CopyCase>
{
};

INSTANTIATE_TEST_SUITE_P(
    Windows, WindowsCopies,
    testing::Values(
        CopyCase{.name = "Empty", .input = ""}, CopyCase{.name = "OneByte", .input = "\n"},
        CopyCase{.name = "ChunkLessOne", .input = every_byte(ChunkSize - 1)},
        CopyCase{.name = "Chunk", .input = every_byte(ChunkSize)},
        CopyCase{.name = "ChunkAndOne", .input = every_byte(ChunkSize + 1)},
        CopyCase{.name = "SeveralChunks", .input = every_byte(3 * ChunkSize + 999)},
        CopyCase{.name = "LineEndsAndCtrlZ", .input = awkward_bytes()},
        CopyCase{.name = "LineEndsAndCtrlZFromPipe", .input = awkward_bytes(), .from_pipe = true},
        CopyCase{.name = "SeveralChunksFromPipe",
                 .input = every_byte(3 * ChunkSize + 999, 5),
                 .from_pipe = true},
        CopyCase{
            .name = "ArgumentsIgnored", .input = awkward_bytes(), .args = {"--help", "/?", "x"}}),
    case_name<CopyCase>);

TEST_P(WindowsCopies, ReachBothOutputsExactly)
{
    TempDir dir;
    const std::string &input = GetParam().input;
    Pipe feed;
    int in = feed.read_end;
    if (!GetParam().from_pipe) {
        write_file(dir.path("in"), input);
        in = open_input(dir.path("in"));
    }
    pid_t pid = start_exe(in, dir.path("out"), dir.path("err"), GetParam().args);
    feed.close_read();
    if (in != feed.read_end)
        close(in);
    if (GetParam().from_pipe)
        write_all(feed.write_end, input);
    feed.close_write();
    EXPECT_EQ(wait_for(pid), "exit 0");
    EXPECT_BYTES(read_file(dir.path("out")), input) << "standard output differs";
    EXPECT_BYTES(read_file(dir.path("err")), input) << "standard error differs";
}

TEST_F(Windows, OneFileForBothOutputsGetsEachChunkTwiceStandardOutputFirst)
{
    TempDir dir;
    std::string input = every_byte(2 * ChunkSize + 1000, 9);
    write_file(dir.path("in"), input);
    int in = open_input(dir.path("in"));
    pid_t pid = start_exe(in, dir.path("both"), dir.path("both"));
    close(in);
    EXPECT_EQ(wait_for(pid), "exit 0");
    EXPECT_BYTES(read_file(dir.path("both")), each_chunk_twice(input))
        << "chunks not doubled in order";
}

TEST_F(Windows, FailingOutputEndsWithStatusOneAndItsMessage)
{
    TempDir dir;
    write_file(dir.path("in"), "hello\n");
    int in = open_input(dir.path("in"));
    pid_t pid = start_exe(in, "/dev/full", dir.path("err"));
    close(in);
    EXPECT_EQ(wait_for(pid), "exit 1");
    EXPECT_BYTES(read_file(dir.path("err")), failure_message(1, "No space left on device"));
}

// Windows has no SIGPIPE: a reader that went away is an ordinary failure,
// reported as the broken pipe it is, on a line of its own.
TEST_F(Windows, ReaderGoneIsABrokenPipe)
{
    TempDir dir;
    write_file(dir.path("in"), std::string(16 * ChunkSize, 'x'));
    Pipe out;
    Launch how = exe_launch();
    how.in = open_input(dir.path("in"));
    how.out = out.write_end;
    how.err = open_output(dir.path("err"));
    pid_t pid = launch(how);
    close(how.in);
    out.close_write();
    close(how.err);
    EXPECT_EQ(read_some(out.read_end, 1, 30000).size(), 1U);
    out.close_read();
    EXPECT_EQ(wait_for(pid), "exit 1");
    std::string err = read_file(dir.path("err"));
    const std::string broken = failure_message(1, "Broken pipe");
    const std::string message = "\n" + broken;
    ASSERT_GE(err.size(), message.size());
    EXPECT_EQ(err.substr(err.size() - message.size()), message);
}

// As on POSIX, the file is known by its volume and file ID.
class WindowsInputIsOutput : public Windows, public testing::WithParamInterface<SameFileCase>
{
};

INSTANTIATE_TEST_SUITE_P(Windows, WindowsInputIsOutput, testing::ValuesIn(same_file_cases()),
                         case_name<SameFileCase>);

TEST_P(WindowsInputIsOutput, IsRefusedBeforeAnythingIsWritten)
{
    TempDir dir;
    EXPECT_EQ(wait_for(launch_on_input_file(dir, GetParam(), exe_launch())), GetParam().ended);
    EXPECT_TRUE(input_file_unchanged(dir, GetParam()));
    EXPECT_BYTES(read_file(dir.path("other")), GetParam().message);
}

} // namespace
