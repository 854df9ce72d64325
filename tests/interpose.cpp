// Test-only LD_PRELOAD library: records each read, write, poll and close that
// the program makes on descriptors 0, 1 and 2, and can script their results.
//
//   TAP_LOG=PATH     append one line per call to PATH, such as
//                    "read 0 65536 = 100", "write 1 100 = -1 EAGAIN",
//                    "poll 1 out = 1", "close 1 = 0"; past CallLogLimit
//                    bytes of them the program is aborted, so that one that
//                    loops without end fails its test instead of filling the
//                    disk
//   TAP_READ0, TAP_WRITE1, TAP_WRITE2, TAP_POLL, TAP_CLOSE1, TAP_CLOSE2
//                    space-separated actions for the successive calls of that
//                    kind; calls past the end of the list run as usual:
//                      -      run the call as usual
//                      <N     run it, asking for at most N bytes (read, write)
//                      0      return 0 without running it (read, write)
//                      ENAME  return -1 with that errno (EINTR, EAGAIN, EIO,
//                             ENOSPC, EBADF, EPIPE, ENOMEM, EINVAL, EDQUOT);
//                             a close is made all the same, as Linux does
//   TAP_MALLOC=fail  a malloc of a chunk's size returns null with ENOMEM
//   TAP_LOADED=PATH  create PATH as the library is loaded, whatever the
//                    program then does

#include "sizes.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

namespace
{

template <typename Function> Function next(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

using ReadFunction = ssize_t (*)(int, void *, size_t);
using WriteFunction = ssize_t (*)(int, const void *, size_t);
using PollFunction = int (*)(struct pollfd *, nfds_t, int);
using CloseFunction = int (*)(int);
using MallocFunction = void *(*)(size_t);

struct ErrnoName {
    int number;
    const char *name;
};
const ErrnoName errno_names[] = {{EINTR, "EINTR"},   {EAGAIN, "EAGAIN"}, {EIO, "EIO"},
                                 {ENOSPC, "ENOSPC"}, {EBADF, "EBADF"},   {EPIPE, "EPIPE"},
                                 {ENOMEM, "ENOMEM"}, {EINVAL, "EINVAL"}, {EDQUOT, "EDQUOT"}};

const char *errno_name(int number)
{
    for (const ErrnoName &entry : errno_names)
        if (entry.number == number)
            return entry.name;
    return "E?";
}

void record(const char *format, ...) __attribute__((format(printf, 1, 2)));

void record(const char *format, ...)
{
    static int log_fd = -2;
    int saved_errno = errno;
    if (log_fd == -2) {
        log_fd = -1;
        if (const char *path = getenv("TAP_LOG")) {
            int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
            // Keep clear of the standard descriptors, which may be closed.
            if (fd >= 0) {
                log_fd = fcntl(fd, F_DUPFD_CLOEXEC, 10);
                close(fd);
            }
        }
    }
    if (log_fd >= 0) {
        char line[128];
        va_list args;
        va_start(args, format);
        int length = vsnprintf(line, sizeof line, format, args);
        va_end(args);
        static WriteFunction real_write = next<WriteFunction>("write");
        static size_t logged = 0;
        if (length > 0) {
            logged += static_cast<size_t>(length);
            if (logged > CallLogLimit || real_write(log_fd, line, static_cast<size_t>(length)) < 0)
                abort();
        }
    }
    errno = saved_errno;
}

void record_result(const char *call, int fd, size_t asked, ssize_t result)
{
    if (result < 0)
        record("%s %d %zu = -1 %s\n", call, fd, asked, errno_name(errno));
    else
        record("%s %d %zu = %zd\n", call, fd, asked, result);
}

// The next scripted action for calls named by variable, or null to run as usual.
struct Script {
    const char *variable;
    const char *cursor = nullptr;
    bool started = false;

    // Returns the next action's text, its length in *length; null when none.
    const char *next_action(size_t *length)
    {
        if (!started) {
            started = true;
            cursor = getenv(variable);
        }
        if (cursor == nullptr)
            return nullptr;
        cursor += strspn(cursor, " ");
        if (*cursor == '\0')
            return nullptr;
        const char *action = cursor;
        *length = strcspn(cursor, " ");
        cursor += *length;
        return action;
    }
};

Script read0{"TAP_READ0"};
Script write1{"TAP_WRITE1"};
Script write2{"TAP_WRITE2"};
Script poll_script{"TAP_POLL"};
Script close1{"TAP_CLOSE1"};
Script close2{"TAP_CLOSE2"};

// Applies the next action of script: returns true with *result set when the
// call must not run, or false with *count possibly lowered.
bool scripted(Script *script, size_t *count, ssize_t *result)
{
    size_t length = 0;
    const char *action = script->next_action(&length);
    if (action == nullptr || (length == 1 && action[0] == '-'))
        return false;
    if (action[0] == '<') {
        size_t most = strtoul(action + 1, nullptr, 10);
        if (most < *count)
            *count = most;
        return false;
    }
    if (length == 1 && action[0] == '0') {
        *result = 0;
        return true;
    }
    for (const ErrnoName &entry : errno_names)
        if (strlen(entry.name) == length && strncmp(entry.name, action, length) == 0) {
            errno = entry.number;
            *result = -1;
            return true;
        }
    abort(); // a mistyped script in a test
}

} // namespace

__attribute__((constructor)) static void announce_loading()
{
    if (const char *path = getenv("TAP_LOADED"))
        close(open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
}

extern "C" ssize_t read(int fd, void *data, size_t count)
{
    static ReadFunction real_read = next<ReadFunction>("read");
    if (fd != 0)
        return real_read(fd, data, count);
    size_t asked = count;
    ssize_t result = 0;
    if (!scripted(&read0, &count, &result))
        result = real_read(fd, data, count);
    record_result("read", fd, asked, result);
    return result;
}

extern "C" ssize_t __read_chk(int fd, void *data, size_t count, size_t room)
{
    if (count > room)
        abort();
    return read(fd, data, count);
}

extern "C" ssize_t write(int fd, const void *data, size_t count)
{
    static WriteFunction real_write = next<WriteFunction>("write");
    if (fd != 1 && fd != 2)
        return real_write(fd, data, count);
    size_t asked = count;
    ssize_t result = 0;
    if (!scripted(fd == 1 ? &write1 : &write2, &count, &result))
        result = real_write(fd, data, count);
    record_result("write", fd, asked, result);
    return result;
}

extern "C" int poll(struct pollfd *fds, nfds_t count, int timeout)
{
    static PollFunction real_poll = next<PollFunction>("poll");
    if (count != 1 || fds[0].fd < 0 || fds[0].fd > 2)
        return real_poll(fds, count, timeout);
    size_t unused = 0;
    ssize_t result = 0;
    if (!scripted(&poll_script, &unused, &result))
        result = real_poll(fds, count, timeout);
    const char *direction = fds[0].events == POLLIN ? "in" : "out";
    if (result < 0)
        record("poll %d %s = -1 %s\n", fds[0].fd, direction, errno_name(errno));
    else
        record("poll %d %s = %zd\n", fds[0].fd, direction, result);
    return static_cast<int>(result);
}

extern "C" int __poll_chk(struct pollfd *fds, nfds_t count, int timeout, size_t room)
{
    if (count > room / sizeof *fds)
        abort();
    return poll(fds, count, timeout);
}

extern "C" int close(int fd)
{
    static CloseFunction real_close = next<CloseFunction>("close");
    if (fd != 1 && fd != 2)
        return real_close(fd);
    size_t unused = 0;
    ssize_t result = 0;
    int closed = real_close(fd);
    if (!scripted(fd == 1 ? &close1 : &close2, &unused, &result))
        result = closed;
    if (result < 0)
        record("close %d = -1 %s\n", fd, errno_name(errno));
    else
        record("close %d = %zd\n", fd, result);
    return static_cast<int>(result);
}

// glibc's other name for the same call.
extern "C" int __close(int fd)
{
    return close(fd);
}

extern "C" void *malloc(size_t size)
{
    static MallocFunction real_malloc = nullptr;
    if (size == ChunkSize) {
        const char *mode = getenv("TAP_MALLOC");
        if (mode != nullptr && strcmp(mode, "fail") == 0) {
            errno = ENOMEM;
            return nullptr;
        }
    }
    if (real_malloc == nullptr)
        real_malloc = next<MallocFunction>("malloc");
    return real_malloc(size);
}
