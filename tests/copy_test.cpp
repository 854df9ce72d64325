// The copy itself: both outputs byte-exact, in what order and in what calls.
#include "harness.h"

#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <random>
#include <thread>
#include <unistd.h>

namespace
{

const size_t chunk = 65536;

class Sizes : public testing::TestWithParam<size_t>
{
};

INSTANTIATE_TEST_SUITE_P(AroundTheChunk, Sizes,
                         testing::Values(0, 1, 255, chunk - 1, chunk, chunk + 1, 2 * chunk,
                                         5 * chunk + 12345),
                         testing::PrintToStringParamName());

TEST_P(Sizes, RegularFileReachesBothOutputsExactly)
{
    std::string input = every_byte(GetParam());
    Outcome result = run(input);
    EXPECT_EQ(result.ended, "exit 0");
    EXPECT_TRUE(result.out == input) << "standard output differs";
    EXPECT_TRUE(result.err == input) << "standard error differs";
    EXPECT_EQ(check_calls(result.calls), "");
}

TEST_P(Sizes, PipeFedInIrregularPiecesReachesBothOutputsExactly)
{
    std::string input = every_byte(GetParam(), 7);
    TempDir dir;
    int pipe_fds[2];
    ASSERT_EQ(pipe2(pipe_fds, O_CLOEXEC), 0);
    Launch how;
    how.in = pipe_fds[0];
    how.out = open(dir.path("out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    how.err = open(dir.path("err").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    how.env = recording_env(dir.path("log"));
    pid_t pid = launch(how);
    close(pipe_fds[0]);
    close(how.out);
    close(how.err);

    std::mt19937 random(static_cast<unsigned>(GetParam()));
    for (size_t done = 0; done < input.size();) {
        size_t piece = std::min(input.size() - done, size_t{1} + random() % 100000);
        write_all(pipe_fds[1], input.substr(done, piece));
        done += piece;
        if (random() % 4 == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 2000));
    }
    close(pipe_fds[1]);

    EXPECT_EQ(wait_for(pid), "exit 0");
    EXPECT_TRUE(read_file(dir.path("out")) == input) << "standard output differs";
    EXPECT_TRUE(read_file(dir.path("err")) == input) << "standard error differs";
    EXPECT_EQ(check_calls(read_lines(dir.path("log"))), "");
}

TEST(Copy, KeepsNulCarriageReturnAndHighBytes)
{
    const std::string input("a\0b\r\n\r\x7f\x80\xff\x1a\x04\n\0", 13);
    Outcome result = run(input);
    EXPECT_EQ(result.ended, "exit 0");
    EXPECT_EQ(result.out, input);
    EXPECT_EQ(result.err, input);
}

// The whole record of calls for a file input: one read of 65536 bytes per
// cycle, each chunk written once to 1 and then once to 2, a last cycle that
// reads 0 and makes two zero-byte writes, and the closes of 1 and 2.
struct CallsCase {
    size_t size;
    std::vector<std::string> calls;
};

class ExactCalls : public testing::TestWithParam<CallsCase>
{
};

INSTANTIATE_TEST_SUITE_P(
    Copy, ExactCalls,
    testing::Values(
        CallsCase{
            0,
            {"read 0 65536 = 0", "write 1 0 = 0", "write 2 0 = 0", "close 1 = 0", "close 2 = 0"}},
        CallsCase{5,
                  {"read 0 65536 = 5", "write 1 5 = 5", "write 2 5 = 5", "read 0 65536 = 0",
                   "write 1 0 = 0", "write 2 0 = 0", "close 1 = 0", "close 2 = 0"}},
        CallsCase{chunk,
                  {"read 0 65536 = 65536", "write 1 65536 = 65536", "write 2 65536 = 65536",
                   "read 0 65536 = 0", "write 1 0 = 0", "write 2 0 = 0", "close 1 = 0",
                   "close 2 = 0"}},
        CallsCase{chunk + 1,
                  {"read 0 65536 = 65536", "write 1 65536 = 65536", "write 2 65536 = 65536",
                   "read 0 65536 = 1", "write 1 1 = 1", "write 2 1 = 1", "read 0 65536 = 0",
                   "write 1 0 = 0", "write 2 0 = 0", "close 1 = 0", "close 2 = 0"}}));

TEST_P(ExactCalls, AreThreePerChunk)
{
    Outcome result = run(every_byte(GetParam().size));
    EXPECT_EQ(result.ended, "exit 0");
    EXPECT_EQ(result.calls, GetParam().calls);
}

TEST(Copy, OneFileForBothOutputsGetsEachChunkTwiceStandardOutputFirst)
{
    std::string input = every_byte(2 * chunk + 1000, 3);
    TempDir dir;
    write_file(dir.path("in"), input);
    Launch how;
    how.in = open(dir.path("in").c_str(), O_RDONLY | O_CLOEXEC);
    how.out = open(dir.path("both").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    how.err = how.out;
    pid_t pid = launch(how);
    close(how.in);
    close(how.out);
    EXPECT_EQ(wait_for(pid), "exit 0");

    EXPECT_TRUE(read_file(dir.path("both")) == each_chunk_twice(input))
        << "chunks not doubled in order";
}

class Arguments : public testing::TestWithParam<std::vector<std::string>>
{
};

INSTANTIATE_TEST_SUITE_P(Copy, Arguments,
                         testing::Values(std::vector<std::string>{"--help"},
                                         std::vector<std::string>{"--version"},
                                         std::vector<std::string>{"-"},
                                         std::vector<std::string>{"-u", "-n", "10"},
                                         std::vector<std::string>{"/no/such/file", "a b", ""}));

TEST_P(Arguments, ChangeNothing)
{
    std::string input = every_byte(chunk + 10);
    Script script;
    script.args = GetParam();
    Outcome result = run(input, script);
    EXPECT_EQ(result.ended, "exit 0");
    EXPECT_TRUE(result.out == input);
    EXPECT_TRUE(result.err == input);
    EXPECT_EQ(result.calls, run(input).calls);
}

} // namespace
