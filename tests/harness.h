// Starts the built pipetap as a child process and looks at what it did.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// A fresh folder under the temporary directory, removed with its files.
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

std::string read_file(const std::string &path);
void write_file(const std::string &path, const std::string &data);
// size bytes in which every byte value occurs, NUL, CR, LF and those above 127 among them.
std::string every_byte(size_t size, unsigned seed = 1);

// What one file holding both outputs gets from a file input: each 64 KiB chunk
// twice in a row.
std::string each_chunk_twice(const std::string &input);

// Where the child's descriptors 0, 1 and 2 come from; -1 leaves one closed.
struct Launch {
    std::vector<std::string> command; // what to run before args; empty: the built pipetap
    int in = -1;
    int out = -1;
    int err = -1;
    std::vector<std::string> args;
    std::vector<std::string> env; // NAME=VALUE, added to this process's environment
    bool ignore_sigpipe = false;
    long file_size_limit = 0; // bytes; 0 for none
};

pid_t launch(const Launch &how);
// Waits for the child: "exit N" or "signal N".
std::string wait_for(pid_t pid);

// Standard input's own file as one output or both, in each way a run can
// meet it. The other output, if any, is the file "other".
struct SameFileCase {
    std::string name;
    bool out_is_input;
    bool err_is_input;
    off_t already_read;  // bytes of the input read before the run
    std::string ended;   // how the run ends
    std::string message; // what "other" gets
};
void PrintTo(const SameFileCase &same, std::ostream *out);
extern const std::string same_file_content;
const std::vector<SameFileCase> &same_file_cases();

// Starts how with a case's descriptors, in dir: the file "file" holding
// same_file_content as input, opened again for appending as its outputs. The
// run cannot grow the file past 1 MiB.
pid_t launch_on_input_file(const TempDir &dir, const SameFileCase &same, Launch how);

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
};

// Actions for the reads of 0, the writes to 1 and the writes to 2.
Script actions(std::string read0, std::string write1, std::string write2);

Outcome run(const std::string &input, const Script &script = {});

// The environment that loads the recording library, logging to log_path.
std::vector<std::string> recording_env(const std::string &log_path, const Script &script = {});
std::vector<std::string> read_lines(const std::string &path);

// Checks recorded calls against the copy's rules: each chunk read goes whole
// to descriptor 1, then whole to descriptor 2, before the next read; every
// EAGAIN is followed by a poll on its descriptor; the last cycle reads 0, and
// then descriptor 1 and descriptor 2 are closed, in that order.
// Returns "" or what broke the rules.
std::string check_calls(const std::vector<std::string> &calls);

// Reads fd until end of input.
std::string drain(int fd);
// Reads at least size bytes from fd, giving up after timeout_ms without any.
std::string read_some(int fd, size_t size, int timeout_ms);
void write_all(int fd, const std::string &data);
