// Calls that do not go as planned, scripted through the recording library:
// short writes, interrupted and would-block calls are ridden out without a
// byte lost; real failures, a failed close among them, end the run with
// status 1 and one message on a line of its own.
#include "harness.h"

#include <gtest/gtest.h>

namespace
{

std::string repeat(const std::string &action, int times)
{
    std::string script;
    for (int i = 0; i < times; ++i)
        script += action + " ";
    return script;
}

struct ShortCase {
    std::string name;
    int fd;
    size_t most;
};

using ShortWrites = testing::TestWithParam<ShortCase>;

INSTANTIATE_TEST_SUITE_P(
    Faults, ShortWrites,
    testing::Values(ShortCase{.name = "fd1_at_most_1", .fd = 1, .most = 1},
                    ShortCase{.name = "fd1_at_most_2", .fd = 1, .most = 2},
                    ShortCase{.name = "fd1_at_most_4095", .fd = 1, .most = 4095},
                    ShortCase{.name = "fd1_at_most_65535", .fd = 1, .most = ChunkSize - 1},
                    ShortCase{.name = "fd2_at_most_1", .fd = 2, .most = 1},
                    ShortCase{.name = "fd2_at_most_3", .fd = 2, .most = 3},
                    ShortCase{.name = "fd2_at_most_4096", .fd = 2, .most = 4096},
                    ShortCase{.name = "fd2_at_most_65535", .fd = 2, .most = ChunkSize - 1}),
    case_name<ShortCase>);

TEST_P(ShortWrites, AreCompletedBeforeAnythingElse)
{
    SKIP_UNLESS_RECORDED();
    // Small limits stop after a few hundred calls, so the rest go through whole.
    std::string input = every_byte(2 * ChunkSize + 777);
    Script script;
    std::string actions = repeat(std::string("<").append(std::to_string(GetParam().most)), 400);
    (GetParam().fd == 1 ? script.write1 : script.write2) = actions;
    Outcome result = run(input, script);
    EXPECT_EQ(result.ended, "exit 0");
    EXPECT_BYTES(result.out, input) << "standard output differs";
    EXPECT_BYTES(result.err, input) << "standard error differs";
    EXPECT_EQ(check_calls(result.calls), "");
}

TEST(Faults, ShortWriteIsFinishedWithTheRest)
{
    SKIP_UNLESS_RECORDED();
    Outcome result = run("hello", {.write1 = "<2 <1", .write2 = "<4"});
    EXPECT_EQ(result.ended, "exit 0");
    EXPECT_BYTES(result.out, "hello");
    EXPECT_BYTES(result.err, "hello");
    EXPECT_LINES(result.calls, with_tail({chunk_read("5"), "write 1 5 = 2", "write 1 3 = 1",
                                          "write 1 2 = 2", "write 2 5 = 4", "write 2 1 = 1"}));
}

// An interrupted call is made again at once; one that would block waits in
// poll first. Either way nothing is lost.
struct RetryCase {
    std::string name;
    Script script;
    std::vector<std::string> calls;
};

void PrintTo(const RetryCase &retry, std::ostream *out)
{
    *out << retry.name;
}

using Retries = testing::TestWithParam<RetryCase>;

INSTANTIATE_TEST_SUITE_P(
    Faults, Retries,
    testing::Values(
        RetryCase{.name = "ReadEINTR",
                  .script = {.read0 = "EINTR"},
                  .calls = with_tail({chunk_read("-1 EINTR"), chunk_read("5"), "write 1 5 = 5",
                                      "write 2 5 = 5"})},
        RetryCase{.name = "ReadEAGAIN",
                  .script = {.read0 = "EAGAIN EAGAIN"},
                  .calls = with_tail({chunk_read("-1 EAGAIN"), "poll 0 in = 1",
                                      chunk_read("-1 EAGAIN"), "poll 0 in = 1", chunk_read("5"),
                                      "write 1 5 = 5", "write 2 5 = 5"})},
        RetryCase{.name = "StandardOutputEINTR",
                  .script = {.write1 = "EINTR"},
                  .calls = with_tail({chunk_read("5"), "write 1 5 = -1 EINTR", "write 1 5 = 5",
                                      "write 2 5 = 5"})},
        RetryCase{.name = "StandardOutputEAGAINAfterShortWrite",
                  .script = {.write1 = "<3 EAGAIN"},
                  .calls = with_tail({chunk_read("5"), "write 1 5 = 3", "write 1 2 = -1 EAGAIN",
                                      "poll 1 out = 1", "write 1 2 = 2", "write 2 5 = 5"})},
        RetryCase{.name = "StandardErrorEINTR",
                  .script = {.write2 = "EINTR"},
                  .calls = with_tail({chunk_read("5"), "write 1 5 = 5", "write 2 5 = -1 EINTR",
                                      "write 2 5 = 5"})},
        RetryCase{.name = "StandardErrorEAGAIN",
                  .script = {.write2 = "EAGAIN"},
                  .calls = with_tail({chunk_read("5"), "write 1 5 = 5", "write 2 5 = -1 EAGAIN",
                                      "poll 2 out = 1", "write 2 5 = 5"})},
        RetryCase{.name = "PollEINTR",
                  .script = {.write1 = "EAGAIN", .poll = "EINTR EINTR"},
                  .calls = with_tail({chunk_read("5"), "write 1 5 = -1 EAGAIN",
                                      "poll 1 out = -1 EINTR", "poll 1 out = -1 EINTR",
                                      "poll 1 out = 1", "write 1 5 = 5", "write 2 5 = 5"})},
        RetryCase{.name = "ZeroByteWriteEINTR",
                  .script = {.write1 = "- EINTR", .write2 = "- EAGAIN"},
                  .calls = {chunk_read("5"), "write 1 5 = 5", "write 2 5 = 5", chunk_read("0"),
                            "write 1 0 = -1 EINTR", "write 1 0 = 0", "write 2 0 = -1 EAGAIN",
                            "poll 2 out = 1", "write 2 0 = 0", "close 1 = 0", "close 2 = 0"}}),
    case_name<RetryCase>);

TEST_P(Retries, LoseNothing)
{
    SKIP_UNLESS_RECORDED();
    Outcome result = run("hello", GetParam().script);
    EXPECT_EQ(result.ended, "exit 0");
    EXPECT_BYTES(result.out, "hello");
    EXPECT_BYTES(result.err, "hello");
    EXPECT_LINES(result.calls, GetParam().calls);
}

// Real failures: status 1 at once, one line on standard error unless it is
// standard error that failed, and standard error never ahead of standard
// output. The message starts a line of its own after data that did not end one.
struct FailureCase {
    std::string name;
    Script script;
    std::string input = "hello";
    std::string out;     // what standard output got
    std::string shown;   // the data standard error got before the message
    std::string message; // the message after it, written in one piece; "" for none
    std::string last_call = whole_write(2, message); // the last call recorded
};

void PrintTo(const FailureCase &failure, std::ostream *out)
{
    *out << failure.name;
}

using Failures = testing::TestWithParam<FailureCase>;

const std::string read_failed = failure_message(0, "Input/output error");
const std::string output_failed = failure_message(1, "Input/output error");
const std::string output_full = failure_message(1, "No space left on device");
const std::string output_bad = failure_message(1, "Bad file descriptor");
const std::string output_broken = failure_message(1, "Broken pipe");

INSTANTIATE_TEST_SUITE_P(
    Faults, Failures,
    testing::Values(
        FailureCase{.name = "ReadEIO", .script = {.read0 = "EIO"}, .message = read_failed},
        FailureCase{.name = "ReadEIOLater",
                    .script = {.read0 = "<2 EIO"},
                    .out = "he",
                    .shown = "he",
                    .message = "\n" + read_failed},
        FailureCase{.name = "ReadEIOAfterLine",
                    .script = {.read0 = "<6 EIO"},
                    .input = "hello\nworld",
                    .out = "hello\n",
                    .shown = "hello\n",
                    .message = read_failed},
        FailureCase{
            .name = "StandardOutputENOSPC", .script = {.write1 = "ENOSPC"}, .message = output_full},
        FailureCase{
            .name = "StandardOutputEBADF", .script = {.write1 = "EBADF"}, .message = output_bad},
        FailureCase{
            .name = "StandardOutputEPIPE", .script = {.write1 = "EPIPE"}, .message = output_broken},
        FailureCase{.name = "StandardOutputTakesNothing",
                    .script = {.write1 = "0"},
                    .message = output_full},
        FailureCase{.name = "StandardOutputFailsAfterShortWrite",
                    .script = {.write1 = "<2 EIO"},
                    .out = "he",
                    .message = output_failed},
        FailureCase{.name = "StandardOutputZeroByteWriteEBADF",
                    .script = {.write1 = "- EBADF"},
                    .out = "hello",
                    .shown = "hello",
                    .message = "\n" + output_bad},
        FailureCase{.name = "PollFails",
                    .script = {.write1 = "EAGAIN", .poll = "EINTR ENOMEM"},
                    .message = failure_message(1, "Cannot allocate memory")},
        FailureCase{.name = "PollFailsOnInput",
                    .script = {.read0 = "EAGAIN", .poll = "EINVAL"},
                    .message = failure_message(0, "Invalid argument")},
        FailureCase{.name = "StandardOutputCloseEIO",
                    .script = {.close1 = "EIO"},
                    .out = "hello",
                    .shown = "hello",
                    .message = "\n" + output_failed},
        FailureCase{.name = "StandardOutputCloseEDQUOT",
                    .script = {.close1 = "EDQUOT"},
                    .input = "hello\n",
                    .out = "hello\n",
                    .shown = "hello\n",
                    .message = failure_message(1, "Disk quota exceeded")},
        FailureCase{.name = "StandardErrorCloseEIO",
                    .script = {.close2 = "EIO"},
                    .out = "hello",
                    .shown = "hello",
                    .last_call = "close 2 = -1 EIO"},
        FailureCase{.name = "StandardErrorENOSPC",
                    .script = {.write2 = "ENOSPC"},
                    .out = "hello",
                    .last_call = "write 2 5 = -1 ENOSPC"},
        FailureCase{.name = "StandardErrorEBADF",
                    .script = {.write2 = "EBADF"},
                    .out = "hello",
                    .last_call = "write 2 5 = -1 EBADF"},
        FailureCase{.name = "StandardErrorEPIPE",
                    .script = {.write2 = "EPIPE"},
                    .out = "hello",
                    .last_call = "write 2 5 = -1 EPIPE"},
        FailureCase{.name = "StandardErrorTakesNothing",
                    .script = {.write2 = "0"},
                    .out = "hello",
                    .last_call = "write 2 5 = 0"},
        FailureCase{.name = "StandardErrorFailsAfterShortWrite",
                    .script = {.write2 = "<1 EIO"},
                    .out = "hello",
                    .shown = "h",
                    .last_call = "write 2 4 = -1 EIO"},
        FailureCase{.name = "MessageCannotBeWritten",
                    .script = {.write1 = "EIO", .write2 = "EIO"},
                    .last_call = "write 2 " + std::to_string(output_failed.size()) + " = -1 EIO"},
        FailureCase{.name = "MessageWrittenInPieces",
                    .script = {.write1 = "EPIPE", .write2 = "<10 EINTR <10"},
                    .message = output_broken,
                    .last_call = whole_write(2, output_broken.substr(20))},
        FailureCase{.name = "MessageWaitsWhileStandardErrorWouldBlock",
                    .script = {.write1 = "EIO", .write2 = "EAGAIN"},
                    .message = output_failed}),
    case_name<FailureCase>);

TEST_P(Failures, EndTheRunWithStatusOneAndOneMessage)
{
    SKIP_UNLESS_RECORDED();
    Outcome result = run(GetParam().input, GetParam().script);
    EXPECT_EQ(result.ended, "exit 1");
    EXPECT_BYTES(result.out, GetParam().out);
    EXPECT_BYTES(result.err, GetParam().shown + GetParam().message);
    ASSERT_FALSE(result.calls.empty());
    EXPECT_EQ(result.calls.back(), GetParam().last_call);
}

// With both outputs on one file the message follows whatever either output
// wrote last: here standard output's part of a chunk.
struct OneFileCase {
    std::string name;
    std::string input;
    Script script;
    std::string file;
};

void PrintTo(const OneFileCase &one, std::ostream *out)
{
    *out << one.name;
}

using OneFile = testing::TestWithParam<OneFileCase>;

INSTANTIATE_TEST_SUITE_P(
    Faults, OneFile,
    testing::Values(OneFileCase{.name = "StandardOutputFailsMidLine",
                                .input = "a\nyz",
                                .script = {.write1 = "<1 <1 <1 EIO", .one_file = true},
                                .file = "a\ny\n" + output_failed},
                    // Where a 32-bit size would keep the file from being known as both.
                    OneFileCase{.name = "StandardOutputFailsMidLinePast4GiB",
                                .input = "a\nyz",
                                .script = {.write1 = "<1 <1 <1 EIO",
                                           .one_file = true,
                                           .output_hole = (off_t{4} << 30) + 1},
                                .file = "a\ny\n" + output_failed},
                    OneFileCase{
                        .name = "StandardOutputFailsAfterItsNewline",
                        .input = "ab\ncd",
                        .script = {.read0 = "<2", .write1 = "- <1 ENOSPC", .one_file = true},
                        .file = "abab\n" + output_full},
                    OneFileCase{.name = "StandardInputFailsAfterBothCopies",
                                .input = "ab",
                                .script = {.read0 = "- EIO", .one_file = true},
                                .file = "abab\n" + read_failed}),
    case_name<OneFileCase>);

TEST_P(OneFile, MessageStartsALineOfItsOwn)
{
    SKIP_UNLESS_RECORDED();
    Outcome result = run(GetParam().input, GetParam().script);
    EXPECT_EQ(result.ended, "exit 1");
    EXPECT_BYTES(result.out, GetParam().file);
}

// An interrupted close is not made again, and fails the run. musl reports
// an interrupted close as a success, so there the run succeeds.
TEST(Faults, InterruptedCloseIsNotMadeAgain)
{
    SKIP_UNLESS_RECORDED();
    for (const Script &script : {Script{.close1 = "EINTR"}, Script{.close2 = "EINTR"}}) {
        const bool first = !script.close1.empty();
        SCOPED_TRACE(first ? "standard output" : "standard error");
        Outcome result = run("", script);
        const std::string message = failure_message(1, "Interrupted system call");
        EXPECT_EQ(result.ended, musl_binary() ? "exit 0" : "exit 1");
        EXPECT_BYTES(result.err, first && !musl_binary() ? message : "");
        std::vector<std::string> closes;
        for (const std::string &call : result.calls)
            if (call.rfind("close ", 0) == 0)
                closes.push_back(call);
        std::vector<std::string> expected{first ? "close 1 = -1 EINTR" : "close 1 = 0"};
        if (!first || musl_binary())
            expected.emplace_back(first ? "close 2 = 0" : "close 2 = -1 EINTR");
        EXPECT_LINES(closes, expected);
    }
}

TEST(Faults, FailedAllocationIsReportedBeforeAnyRead)
{
    SKIP_UNLESS_RECORDED();
    Outcome result = run("hello", {.fail_malloc = true});
    const std::string message = failure_message(-1, "Cannot allocate memory");
    EXPECT_EQ(result.ended, "exit 1");
    EXPECT_BYTES(result.out, "");
    EXPECT_BYTES(result.err, message);
    EXPECT_LINES(result.calls, std::vector<std::string>{whole_write(2, message)});
}

} // namespace
