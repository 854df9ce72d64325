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

using Sizes = testing::TestWithParam<size_t>;

INSTANTIATE_TEST_SUITE_P(AroundTheChunk, Sizes,
                         testing::Values(0, 1, 255, ChunkSize - 1, ChunkSize, ChunkSize + 1,
                                         2 * ChunkSize, 5 * ChunkSize + 12345),
                         testing::PrintToStringParamName());

TEST_P(Sizes, RegularFileReachesBothOutputsExactly)
{
    std::string input = every_byte(GetParam());
    Outcome result = run(input);
    EXPECT_EQ(result.ended, "exit 0");
    EXPECT_BYTES(result.out, input) << "standard output differs";
    EXPECT_BYTES(result.err, input) << "standard error differs";
    SKIP_UNLESS_RECORDED();
    EXPECT_EQ(check_calls(result.calls), "");
}

TEST_P(Sizes, PipeFedInIrregularPiecesReachesBothOutputsExactly)
{
    std::string input = every_byte(GetParam(), 7);
    TempDir dir;
    Pipe feed;
    Launch how;
    how.in = feed.read_end;
    how.out = open_output(dir.path("out"));
    how.err = open_output(dir.path("err"));
    record_calls(&how, dir.path("log"));
    pid_t pid = launch(how);
    feed.close_read();
    close(how.out);
    close(how.err);

    std::mt19937 random(static_cast<unsigned>(GetParam()));
    for (size_t done = 0; done < input.size();) {
        size_t piece = std::min(input.size() - done, size_t{1} + random() % 100000);
        write_all(feed.write_end, input.substr(done, piece));
        done += piece;
        if (random() % 4 == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 2000));
    }
    feed.close_write();

    EXPECT_EQ(wait_for(pid), "exit 0");
    EXPECT_BYTES(read_file(dir.path("out")), input) << "standard output differs";
    EXPECT_BYTES(read_file(dir.path("err")), input) << "standard error differs";
    SKIP_UNLESS_RECORDED();
    EXPECT_EQ(check_calls(read_lines(dir.path("log"))), "");
}

TEST(Copy, KeepsNulCarriageReturnAndHighBytes)
{
    const std::string input("a\0b\r\n\r\x7f\x80\xff\x1a\x04\n\0", 13);
    Outcome result = run(input);
    EXPECT_EQ(result.ended, "exit 0");
    EXPECT_BYTES(result.out, input);
    EXPECT_BYTES(result.err, input);
}

// The whole record of calls for a file input: one read of a whole chunk per
// cycle, each ChunkSize written once to 1 and then once to 2, a last cycle that
// reads 0 and makes two zero-byte writes, and the closes of 1 and 2.
struct CallsCase {
    size_t size;
    std::vector<std::string> calls;
};

using ExactCalls = testing::TestWithParam<CallsCase>;

INSTANTIATE_TEST_SUITE_P(
    Copy, ExactCalls,
    testing::Values(
        CallsCase{.size = 0, .calls = with_tail({})},
        CallsCase{.size = 5,
                  .calls = with_tail({chunk_read("5"), "write 1 5 = 5", "write 2 5 = 5"})},
        CallsCase{.size = ChunkSize,
                  .calls = with_tail({chunk_read(std::to_string(ChunkSize)),
                                      whole_write(1, ChunkSize), whole_write(2, ChunkSize)})},
        CallsCase{.size = ChunkSize + 1,
                  .calls = with_tail({chunk_read(std::to_string(ChunkSize)),
                                      whole_write(1, ChunkSize), whole_write(2, ChunkSize),
                                      chunk_read("1"), "write 1 1 = 1", "write 2 1 = 1"})}));

TEST_P(ExactCalls, AreThreePerChunk)
{
    SKIP_UNLESS_RECORDED();
    Outcome result = run(every_byte(GetParam().size));
    EXPECT_EQ(result.ended, "exit 0");
    EXPECT_LINES(result.calls, GetParam().calls);
}

TEST(Copy, OneFileForBothOutputsGetsEachChunkTwiceStandardOutputFirst)
{
    std::string input = every_byte(2 * ChunkSize + 1000, 3);
    TempDir dir;
    write_file(dir.path("in"), input);
    Launch how;
    how.in = open_input(dir.path("in"));
    how.out = open_output(dir.path("both"));
    how.err = how.out;
    pid_t pid = launch_and_close(how);
    EXPECT_EQ(wait_for(pid), "exit 0");

    EXPECT_BYTES(read_file(dir.path("both")), each_chunk_twice(input))
        << "chunks not doubled in order";
}

using Arguments = testing::TestWithParam<std::vector<std::string>>;

INSTANTIATE_TEST_SUITE_P(Copy, Arguments,
                         testing::Values(std::vector<std::string>{"--help"},
                                         std::vector<std::string>{"--version"},
                                         std::vector<std::string>{"-"},
                                         std::vector<std::string>{"-u", "-n", "10"},
                                         std::vector<std::string>{"/no/such/file", "a b", ""}));

TEST_P(Arguments, ChangeNothing)
{
    std::string input = every_byte(ChunkSize + 10);
    Outcome result = run(input, {.args = GetParam()});
    EXPECT_EQ(result.ended, "exit 0");
    EXPECT_BYTES(result.out, input);
    EXPECT_BYTES(result.err, input);
    SKIP_UNLESS_RECORDED();
    EXPECT_LINES(result.calls, run(input).calls);
}

} // namespace
