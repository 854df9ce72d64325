// Calls that do not go as planned, scripted through the recording library:
// short writes, interrupted and would-block calls are ridden out without a
// byte lost; real failures, a failed close among them, end the run with
// status 1 and one message on a line of its own.
#include "harness.h"

#include <gtest/gtest.h>

namespace
{

Script with_poll(Script script, std::string poll)
{
    script.poll = std::move(poll);
    return script;
}

Script with_closes(Script script, std::string close1, std::string close2)
{
    script.close1 = std::move(close1);
    script.close2 = std::move(close2);
    return script;
}

std::string repeat(const std::string &action, int times)
{
    std::string script;
    for (int i = 0; i < times; ++i)
        script += action + " ";
    return script;
}

struct ShortCase {
    int fd;
    size_t most;
};

class ShortWrites : public testing::TestWithParam<ShortCase>
{
};

INSTANTIATE_TEST_SUITE_P(Faults, ShortWrites,
                         testing::Values(ShortCase{1, 1}, ShortCase{1, 2}, ShortCase{1, 4095},
                                         ShortCase{1, 65535}, ShortCase{2, 1}, ShortCase{2, 3},
                                         ShortCase{2, 4096}, ShortCase{2, 65535}),
                         [](const testing::TestParamInfo<ShortCase> &info) {
                             return "fd" + std::to_string(info.param.fd) + "_at_most_" +
                                    std::to_string(info.param.most);
                         });

TEST_P(ShortWrites, AreCompletedBeforeAnythingElse)
{
    // Small limits stop after a few hundred calls, so the rest go through whole.
    std::string input = every_byte(2 * 65536 + 777);
    Script script;
    std::string actions = repeat(std::string("<").append(std::to_string(GetParam().most)), 400);
    (GetParam().fd == 1 ? script.write1 : script.write2) = actions;
    Outcome result = run(input, script);
    EXPECT_EQ(result.ended, "exit 0");
    EXPECT_TRUE(result.out == input) << "standard output differs";
    EXPECT_TRUE(result.err == input) << "standard error differs";
    EXPECT_EQ(check_calls(result.calls), "");
}

TEST(Faults, ShortWriteIsFinishedWithTheRest)
{
    Outcome result = run("hello", actions("", "<2 <1", "<4"));
    EXPECT_EQ(result.ended, "exit 0");
    EXPECT_EQ(result.out, "hello");
    EXPECT_EQ(result.err, "hello");
    EXPECT_EQ(result.calls,
              (std::vector<std::string>{"read 0 65536 = 5", "write 1 5 = 2", "write 1 3 = 1",
                                        "write 1 2 = 2", "write 2 5 = 4", "write 2 1 = 1",
                                        "read 0 65536 = 0", "write 1 0 = 0", "write 2 0 = 0",
                                        "close 1 = 0", "close 2 = 0"}));
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

class Retries : public testing::TestWithParam<RetryCase>
{
};

const std::vector<std::string> tail{"read 0 65536 = 0", "write 1 0 = 0", "write 2 0 = 0",
                                    "close 1 = 0", "close 2 = 0"};

std::vector<std::string> with_tail(std::vector<std::string> calls)
{
    calls.insert(calls.end(), tail.begin(), tail.end());
    return calls;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, Retries,
    testing::Values(
        RetryCase{"ReadEINTR", actions("EINTR", "", ""),
                  with_tail({"read 0 65536 = -1 EINTR", "read 0 65536 = 5", "write 1 5 = 5",
                             "write 2 5 = 5"})},
        RetryCase{
            "ReadEAGAIN", actions("EAGAIN EAGAIN", "", ""),
            with_tail({"read 0 65536 = -1 EAGAIN", "poll 0 in = 1", "read 0 65536 = -1 EAGAIN",
                       "poll 0 in = 1", "read 0 65536 = 5", "write 1 5 = 5", "write 2 5 = 5"})},
        RetryCase{"StandardOutputEINTR", actions("", "EINTR", ""),
                  with_tail({"read 0 65536 = 5", "write 1 5 = -1 EINTR", "write 1 5 = 5",
                             "write 2 5 = 5"})},
        RetryCase{"StandardOutputEAGAINAfterShortWrite", actions("", "<3 EAGAIN", ""),
                  with_tail({"read 0 65536 = 5", "write 1 5 = 3", "write 1 2 = -1 EAGAIN",
                             "poll 1 out = 1", "write 1 2 = 2", "write 2 5 = 5"})},
        RetryCase{"StandardErrorEINTR", actions("", "", "EINTR"),
                  with_tail({"read 0 65536 = 5", "write 1 5 = 5", "write 2 5 = -1 EINTR",
                             "write 2 5 = 5"})},
        RetryCase{"StandardErrorEAGAIN", actions("", "", "EAGAIN"),
                  with_tail({"read 0 65536 = 5", "write 1 5 = 5", "write 2 5 = -1 EAGAIN",
                             "poll 2 out = 1", "write 2 5 = 5"})},
        RetryCase{"PollEINTR", with_poll(actions("", "EAGAIN", ""), "EINTR EINTR"),
                  with_tail({"read 0 65536 = 5", "write 1 5 = -1 EAGAIN", "poll 1 out = -1 EINTR",
                             "poll 1 out = -1 EINTR", "poll 1 out = 1", "write 1 5 = 5",
                             "write 2 5 = 5"})},
        RetryCase{"ZeroByteWriteEINTR",
                  actions("", "- EINTR", "- EAGAIN"),
                  {"read 0 65536 = 5", "write 1 5 = 5", "write 2 5 = 5", "read 0 65536 = 0",
                   "write 1 0 = -1 EINTR", "write 1 0 = 0", "write 2 0 = -1 EAGAIN",
                   "poll 2 out = 1", "write 2 0 = 0", "close 1 = 0", "close 2 = 0"}}),
    [](const testing::TestParamInfo<RetryCase> &info) { return info.param.name; });

TEST_P(Retries, LoseNothing)
{
    Outcome result = run("hello", GetParam().script);
    EXPECT_EQ(result.ended, "exit 0");
    EXPECT_EQ(result.out, "hello");
    EXPECT_EQ(result.err, "hello");
    EXPECT_EQ(result.calls, GetParam().calls);
}

// Real failures: status 1 at once, one line on standard error unless it is
// standard error that failed, and standard error never ahead of standard
// output. The message starts a line of its own after data that did not end one.
struct FailureCase {
    std::string name;
    Script script;
    std::string out;
    std::string err;
    std::string last_call;
    std::string input = "hello";
};

void PrintTo(const FailureCase &failure, std::ostream *out)
{
    *out << failure.name;
}

class Failures : public testing::TestWithParam<FailureCase>
{
};

INSTANTIATE_TEST_SUITE_P(
    Faults, Failures,
    testing::Values(
        FailureCase{"ReadEIO", actions("EIO", "", ""), "",
                    "pipetap: standard input: Input/output error\n", "write 2 44 = 44"},
        FailureCase{"ReadEIOLater", actions("<2 EIO", "", ""), "he",
                    "he\npipetap: standard input: Input/output error\n", "write 2 45 = 45"},
        FailureCase{"ReadEIOAfterLine", actions("<6 EIO", "", ""), "hello\n",
                    "hello\npipetap: standard input: Input/output error\n", "write 2 44 = 44",
                    "hello\nworld"},
        FailureCase{"StandardOutputENOSPC", actions("", "ENOSPC", ""), "",
                    "pipetap: standard output: No space left on device\n", "write 2 50 = 50"},
        FailureCase{"StandardOutputEBADF", actions("", "EBADF", ""), "",
                    "pipetap: standard output: Bad file descriptor\n", "write 2 46 = 46"},
        FailureCase{"StandardOutputEPIPE", actions("", "EPIPE", ""), "",
                    "pipetap: standard output: Broken pipe\n", "write 2 38 = 38"},
        FailureCase{"StandardOutputTakesNothing", actions("", "0", ""), "",
                    "pipetap: standard output: No space left on device\n", "write 2 50 = 50"},
        FailureCase{"StandardOutputFailsAfterShortWrite", actions("", "<2 EIO", ""), "he",
                    "pipetap: standard output: Input/output error\n", "write 2 45 = 45"},
        FailureCase{"StandardOutputZeroByteWriteEBADF", actions("", "- EBADF", ""), "hello",
                    "hello\npipetap: standard output: Bad file descriptor\n", "write 2 47 = 47"},
        FailureCase{"PollFails", with_poll(actions("", "EAGAIN", ""), "EINTR ENOMEM"), "",
                    "pipetap: standard output: Cannot allocate memory\n", "write 2 49 = 49"},
        FailureCase{"PollFailsOnInput", with_poll(actions("EAGAIN", "", ""), "EINVAL"), "",
                    "pipetap: standard input: Invalid argument\n", "write 2 42 = 42"},
        FailureCase{"StandardOutputCloseEIO", with_closes({}, "EIO", ""), "hello",
                    "hello\npipetap: standard output: Input/output error\n", "write 2 46 = 46"},
        FailureCase{"StandardOutputCloseEDQUOT", with_closes({}, "EDQUOT", ""), "hello\n",
                    "hello\npipetap: standard output: Disk quota exceeded\n", "write 2 46 = 46",
                    "hello\n"},
        FailureCase{"StandardOutputCloseEINTR", with_closes({}, "EINTR", ""), "",
                    "pipetap: standard output: Interrupted system call\n", "write 2 50 = 50", ""},
        FailureCase{"StandardErrorCloseEIO", with_closes({}, "", "EIO"), "hello", "hello",
                    "close 2 = -1 EIO"},
        FailureCase{"StandardErrorENOSPC", actions("", "", "ENOSPC"), "hello", "",
                    "write 2 5 = -1 ENOSPC"},
        FailureCase{"StandardErrorEBADF", actions("", "", "EBADF"), "hello", "",
                    "write 2 5 = -1 EBADF"},
        FailureCase{"StandardErrorEPIPE", actions("", "", "EPIPE"), "hello", "",
                    "write 2 5 = -1 EPIPE"},
        FailureCase{"StandardErrorTakesNothing", actions("", "", "0"), "hello", "",
                    "write 2 5 = 0"},
        FailureCase{"StandardErrorFailsAfterShortWrite", actions("", "", "<1 EIO"), "hello", "h",
                    "write 2 4 = -1 EIO"},
        FailureCase{"MessageCannotBeWritten", actions("", "EIO", "EIO"), "", "",
                    "write 2 45 = -1 EIO"},
        FailureCase{"MessageWrittenInPieces", actions("", "EPIPE", "<10 EINTR <10"), "",
                    "pipetap: standard output: Broken pipe\n", "write 2 18 = 18"},
        FailureCase{"MessageWaitsWhileStandardErrorWouldBlock", actions("", "EIO", "EAGAIN"), "",
                    "pipetap: standard output: Input/output error\n", "write 2 45 = 45"}),
    [](const testing::TestParamInfo<FailureCase> &info) { return info.param.name; });

TEST_P(Failures, EndTheRunWithStatusOneAndOneMessage)
{
    Outcome result = run(GetParam().input, GetParam().script);
    EXPECT_EQ(result.ended, "exit 1");
    EXPECT_EQ(result.out, GetParam().out);
    EXPECT_EQ(result.err, GetParam().err);
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

class OneFile : public testing::TestWithParam<OneFileCase>
{
};

INSTANTIATE_TEST_SUITE_P(
    Faults, OneFile,
    testing::Values(OneFileCase{"StandardOutputFailsMidLine", "a\nyz",
                                Script{.write1 = "<1 <1 <1 EIO", .one_file = true},
                                "a\ny\npipetap: standard output: Input/output error\n"},
                    OneFileCase{"StandardOutputFailsAfterItsNewline", "ab\ncd",
                                Script{.read0 = "<2", .write1 = "- <1 ENOSPC", .one_file = true},
                                "abab\npipetap: standard output: No space left on device\n"},
                    OneFileCase{"StandardInputFailsAfterBothCopies", "ab",
                                Script{.read0 = "- EIO", .one_file = true},
                                "abab\npipetap: standard input: Input/output error\n"}),
    [](const testing::TestParamInfo<OneFileCase> &info) { return info.param.name; });

TEST_P(OneFile, MessageStartsALineOfItsOwn)
{
    Outcome result = run(GetParam().input, GetParam().script);
    EXPECT_EQ(result.ended, "exit 1");
    EXPECT_EQ(result.out, GetParam().file);
}

TEST(Faults, FailedCloseIsNotMadeAgain)
{
    for (const Script &script : {with_closes({}, "EINTR", ""), with_closes({}, "", "EINTR")}) {
        Outcome result = run("hello", script);
        EXPECT_EQ(result.ended, "exit 1");
        size_t closes = 0;
        for (const std::string &call : result.calls)
            closes += call.rfind("close ", 0) == 0;
        EXPECT_EQ(closes, script.close1.empty() ? 2U : 1U);
    }
}

TEST(Faults, FailedAllocationIsReportedBeforeAnyRead)
{
    Script script;
    script.fail_malloc = true;
    Outcome result = run("hello", script);
    EXPECT_EQ(result.ended, "exit 1");
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "pipetap: Cannot allocate memory\n");
    EXPECT_EQ(result.calls, std::vector<std::string>{"write 2 32 = 32"});
}

} // namespace
