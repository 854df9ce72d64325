// Starts the built pipetap as a child process and looks at what it did.
#pragma once

#include "sizes.h"

#include <cstddef>
#include <gtest/gtest.h>
#include <string>
#include <sys/types.h>
#include <vector>

// The tests make files past 2 and 4 GiB, which 32-bit offsets cannot size.
static_assert(sizeof(off_t) == 8,
              "the tests need 64-bit file offsets: define _FILE_OFFSET_BITS=64");

// A fresh folder in the build's own folder for test files (never the system's
// temporary directory), removed with its files. CTest empties that folder
// after the suite, so that even a test killed on its timeout leaves nothing.
class TempDir
{
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    std::string path(const std::string &name) const;

  private:
    std::string root_;
};

// The file's bytes from offset from to its end, or to RunFileSizeLimit bytes.
std::string read_file(const std::string &path, off_t from = 0);
off_t file_size(const std::string &path);
void write_file(const std::string &path, const std::string &data);
// Descriptors for a child's standard descriptors, close-on-exec in this
// process. An output file is made if missing and never truncated.
int open_input(const std::string &path);
int open_output(const std::string &path);
int open_appending(const std::string &path);

// A pipe whose open ends are closed with it.
struct Pipe {
    int read_end = -1;
    int write_end = -1;
    Pipe();
    ~Pipe();
    Pipe(const Pipe &) = delete;
    Pipe &operator=(const Pipe &) = delete;
    void close_read();
    void close_write();
};
// size bytes in which every byte value occurs, NUL, CR, LF and those above 127 among them.
std::string every_byte(size_t size, unsigned seed = 1);

// What one file holding both outputs gets from a file input: each chunk
// twice in a row.
std::string each_chunk_twice(const std::string &input);

// Where the child's descriptors 0, 1 and 2 come from; -1 leaves one closed.
struct Launch {
    std::vector<std::string> command; // what to run before args; empty: pipetap_binary()
    int in = -1;
    int out = -1;
    int err = -1;
    std::vector<std::string> args;
    std::vector<std::string> env; // NAME=VALUE, added to this process's environment
    bool ignore_sigpipe = false;
    long long file_size_limit = RunFileSizeLimit; // bytes; 0 for none
    long cpu_limit = RunCpuLimit;                 // seconds; 0 for none
    unsigned time_limit = RunTimeLimit;           // seconds, then SIGALRM; 0 for none
};

// The pipetap under test: the one this build made, or the one that the
// environment variable PIPETAP_BINARY names (a mutant, say).
std::string pipetap_binary();

pid_t launch(const Launch &how);
// Starts how, then closes its descriptors in this process, each once: the
// child holds its own copies.
pid_t launch_and_close(const Launch &how);
// Waits for the child: "exit N" or "signal N".
std::string wait_for(pid_t pid);

// Standard input's own file as one output or both, in each way a run can
// meet it. The other output, if any, is the file "other".
struct SameFileCase {
    std::string name;
    bool out_is_input = false;
    bool err_is_input = false;
    off_t already_read = 0; // bytes of the input read before the run
    off_t size = 0;         // the file's size where larger than its content, a hole after it
    std::string ended;      // how the run ends
    std::string message;    // what "other" gets
};
void PrintTo(const SameFileCase &same, std::ostream *out);
extern const std::string same_file_content;
const std::vector<SameFileCase> &same_file_cases();

// Starts how with a case's descriptors, in dir: the file "file" holding
// same_file_content (and the case's hole) as input, opened again for
// appending as its outputs. The run cannot grow the file past 1 MiB.
pid_t launch_on_input_file(const TempDir &dir, const SameFileCase &same, Launch how);
// Whether "file" in dir is as the case made it.
testing::AssertionResult input_file_unchanged(const TempDir &dir, const SameFileCase &same);

// A run with input from a regular file, outputs on regular files and every
// read, write and poll on descriptors 0 to 2 recorded.
struct Outcome {
    std::string ended;
    std::string out;
    std::string err;
    std::vector<std::string> calls;
};

struct Script {
    std::string read0;  // actions for the reads of descriptor 0
    std::string write1; // ... the writes to descriptor 1
    std::string write2; // ... the writes to descriptor 2
    std::string poll;   // ... the polls on descriptors 0 to 2
    std::string close1; // ... the close of descriptor 1
    std::string close2; // ... the close of descriptor 2
    bool fail_malloc = false;
    std::vector<std::string> args;
    bool one_file = false; // both outputs on one file, as with >f 2>&1; out and err both hold it
    off_t output_hole = 0; // the outputs' files start with a hole of this size, written after it
};

Outcome run(const std::string &input, const Script &script = {});

// The C library of the pipetap under test: glibc, or musl where the
// environment variable PIPETAP_LIBC says so (the static binaries).
bool musl_binary();

// The line pipetap writes on a failure of descriptor fd (0 or 1; -1 for
// none, as when the buffer cannot be allocated), for the C library's reason
// as glibc words it, in the words of the binary's C library:
// "pipetap: standard output: No space left on device\n".
std::string failure_message(int fd, const std::string &reason);

// The record of a read of a whole chunk from descriptor 0 that returned
// result: "read 0 65536 = 5", "read 0 65536 = -1 EINTR".
std::string chunk_read(const std::string &result);
// The record of a write to fd that took all of its size bytes, or all of
// data: "write 2 5 = 5".
std::string whole_write(int fd, size_t size);
std::string whole_write(int fd, const std::string &data);

// calls followed by the record of a run's end of input: a read of 0, a
// zero-byte write to each output, and the closes of both.
std::vector<std::string> with_tail(std::vector<std::string> calls);

// How the calls of the pipetap under test are recorded and scripted: by the
// recording library, loaded into it; by the tracer, where the library
// cannot be loaded (a static binary), or where the environment variable
// PIPETAP_RECORDER=trace asks for it; or not at all, where neither can (a
// binary of another machine, under qemu). Tests that script calls or read
// the call log are then skipped, after whatever they can check without it.
// This build's own pipetap must load the library.
enum class Recorder { Library, Tracer, None };
Recorder recorder();
#define SKIP_UNLESS_RECORDED()                                                                     \
    if (recorder() == Recorder::None)                                                              \
    GTEST_SKIP() << "needs its calls recorded, which neither the recording library nor the "       \
                    "tracer can do for "                                                           \
                 << pipetap_binary()

// Sets how up to record the calls of its run in log_path and script them;
// nothing where they cannot be recorded.
void record_calls(Launch *how, const std::string &log_path, const Script &script = {});
std::vector<std::string> read_lines(const std::string &path);

// Checks recorded calls against the copy's rules: each chunk read goes whole
// to descriptor 1, then whole to descriptor 2, before the next read; every
// EAGAIN is followed by a poll on its descriptor; the last cycle reads 0, and
// then descriptor 1 and descriptor 2 are closed, in that order.
// Returns "" or what broke the rules.
std::string check_calls(const std::vector<std::string> &calls);

// Reads fd until end of input, or until it has RunFileSizeLimit bytes.
std::string drain(int fd);
// Reads at least size bytes from fd, giving up after timeout_ms without any.
std::string read_some(int fd, size_t size, int timeout_ms);
void write_all(int fd, const std::string &data);

// Equality of bytes, or of the lines of a call log, that reports a difference
// briefly: the sizes and the first place they differ, never whole outputs,
// which a broken program can make megabytes long.
testing::AssertionResult same_bytes(const char *actual_text, const char *expected_text,
                                    const std::string &actual, const std::string &expected);
testing::AssertionResult same_lines(const char *actual_text, const char *expected_text,
                                    const std::vector<std::string> &actual,
                                    const std::vector<std::string> &expected);
#define EXPECT_BYTES(actual, expected) EXPECT_PRED_FORMAT2(same_bytes, actual, expected)
#define ASSERT_BYTES(actual, expected) ASSERT_PRED_FORMAT2(same_bytes, actual, expected)
#define EXPECT_LINES(actual, expected) EXPECT_PRED_FORMAT2(same_lines, actual, expected)

// A parameterised test's name: its case's name field.
template <typename Case> std::string case_name(const testing::TestParamInfo<Case> &info)
{
    return info.param.name;
}
