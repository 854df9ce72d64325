// What the two ways of recording pipetap's calls share: the recording
// library, preloaded into a dynamically linked pipetap, and the tracer, which
// stops any other at each system call. Both take the same scripts and write
// the same call log, so that a test reads alike whichever recorded it.
//
//   TAP_LOG=PATH     append one line per call to PATH, such as
//                    "read 0 65536 = 100", "write 1 100 = -1 EAGAIN",
//                    "poll 1 out = 1", "close 1 = 0"; past CallLogLimit
//                    bytes of them the program is aborted, so that one that
//                    loops without end fails its test instead of filling the
//                    disk
//   TAP_READ0, TAP_WRITE1, TAP_WRITE2, TAP_POLL, TAP_CLOSE1, TAP_CLOSE2
//                    space-separated actions for the successive calls of that
//                    kind on descriptors 0 to 2; calls past the end of the
//                    list run as usual:
//                      -      run the call as usual
//                      <N     run it, asking for at most N bytes (read, write)
//                      0      return 0 without running it (read, write)
//                      ENAME  return -1 with that errno (EINTR, EAGAIN, EIO,
//                             ENOSPC, EBADF, EPIPE, ENOMEM, EINVAL, EDQUOT);
//                             a close is made all the same, as Linux does
//   TAP_MALLOC=fail  allocating the chunk's buffer fails with ENOMEM
//   TAP_LOADED=PATH  create PATH once the calls can be recorded, whatever the
//                    program then does
#pragma once

#include "sizes.h"

#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

namespace calls
{

struct ErrnoName {
    int number;
    const char *name;
};
inline constexpr ErrnoName errno_names[] = {
    {EINTR, "EINTR"}, {EAGAIN, "EAGAIN"}, {EIO, "EIO"},       {ENOSPC, "ENOSPC"}, {EBADF, "EBADF"},
    {EPIPE, "EPIPE"}, {ENOMEM, "ENOMEM"}, {EINVAL, "EINVAL"}, {EDQUOT, "EDQUOT"}};

inline const char *errno_name(int number)
{
    for (const ErrnoName &entry : errno_names)
        if (entry.number == number)
            return entry.name;
    return "E?";
}

// What to do with one call.
struct Action {
    enum Kind { Run, Limit, Zero, Fail } kind = Run;
    size_t most = 0; // for Limit
    int error = 0;   // for Fail
};

// The successive actions that one TAP_ variable scripts.
class Script
{
  public:
    explicit constexpr Script(const char *variable) : variable_(variable)
    {
    }

    Action next()
    {
        if (!started_) {
            started_ = true;
            cursor_ = getenv(variable_);
        }
        if (cursor_ == nullptr)
            return {};
        cursor_ += strspn(cursor_, " ");
        size_t length = strcspn(cursor_, " ");
        const char *action = cursor_;
        cursor_ += length;
        if (length == 0 || (length == 1 && action[0] == '-'))
            return {};
        if (action[0] == '<')
            return {.kind = Action::Limit, .most = strtoul(action + 1, nullptr, 10)};
        if (length == 1 && action[0] == '0')
            return {.kind = Action::Zero};
        for (const ErrnoName &entry : errno_names)
            if (strlen(entry.name) == length && strncmp(entry.name, action, length) == 0)
                return {.kind = Action::Fail, .error = entry.number};
        abort(); // a mistyped script in a test
    }

  private:
    const char *variable_;
    const char *cursor_ = nullptr;
    bool started_ = false;
};

// The scripts, one for each kind of call.
struct Scripts {
    Script read0{"TAP_READ0"};
    Script write1{"TAP_WRITE1"};
    Script write2{"TAP_WRITE2"};
    Script poll{"TAP_POLL"};
    Script close1{"TAP_CLOSE1"};
    Script close2{"TAP_CLOSE2"};
};

inline bool malloc_fails()
{
    const char *mode = getenv("TAP_MALLOC");
    return mode != nullptr && strcmp(mode, "fail") == 0;
}

inline void announce_loading()
{
    if (const char *path = getenv("TAP_LOADED"))
        close(open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
}

// The call log of TAP_LOG, written with write_line, which the recording
// library takes from the C library past its own write.
class Log
{
  public:
    using Writer = ssize_t (*)(int, const void *, size_t);

    explicit Log(Writer write_line) : write_line_(write_line)
    {
    }

    void record(const char *format, ...) __attribute__((format(printf, 2, 3)))
    {
        int saved_errno = errno;
        if (fd_ == -2) {
            fd_ = -1;
            if (const char *path = getenv("TAP_LOG")) {
                int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
                // Clear of the standard descriptors, which may be closed.
                if (fd >= 0) {
                    fd_ = fcntl(fd, F_DUPFD_CLOEXEC, 10);
                    close(fd);
                }
            }
        }
        if (fd_ >= 0) {
            char line[128];
            va_list args;
            va_start(args, format);
            int length = vsnprintf(line, sizeof line, format, args);
            va_end(args);
            if (length > 0) {
                logged_ += static_cast<size_t>(length);
                if (logged_ > CallLogLimit ||
                    write_line_(fd_, line, static_cast<size_t>(length)) < 0)
                    abort();
            }
        }
        errno = saved_errno;
    }

    // "read 0 65536 = 5", "write 1 5 = -1 EINTR": error is the errno of a
    // result of -1.
    void transfer(const char *call, int fd, size_t asked, long result, int error)
    {
        if (result < 0)
            record("%s %d %zu = -1 %s\n", call, fd, asked, errno_name(error));
        else
            record("%s %d %zu = %ld\n", call, fd, asked, result);
    }

    void poll(int fd, bool output, long result, int error)
    {
        const char *direction = output ? "out" : "in";
        if (result < 0)
            record("poll %d %s = -1 %s\n", fd, direction, errno_name(error));
        else
            record("poll %d %s = %ld\n", fd, direction, result);
    }

    void close_call(int fd, long result, int error)
    {
        if (result < 0)
            record("close %d = -1 %s\n", fd, errno_name(error));
        else
            record("close %d = %ld\n", fd, result);
    }

  private:
    Writer write_line_;
    int fd_ = -2;
    size_t logged_ = 0;
};

} // namespace calls
