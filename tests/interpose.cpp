// Test-only LD_PRELOAD library: records each read, write, poll and close that
// the program makes on descriptors 0, 1 and 2, and can script their results,
// as calls.h describes; a malloc of a chunk's size fails with TAP_MALLOC.

#include "calls.h"

#include <dlfcn.h>
#include <poll.h>

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

ssize_t real_write(int fd, const void *data, size_t count)
{
    static WriteFunction write_function = next<WriteFunction>("write");
    return write_function(fd, data, count);
}

calls::Scripts scripts;
calls::Log call_log(real_write);

// Applies the next action of script: returns true with *result set (and
// errno, for a failure) when the call must not run, or false with *count
// possibly lowered.
bool scripted(calls::Script *script, size_t *count, ssize_t *result)
{
    calls::Action action = script->next();
    switch (action.kind) {
    case calls::Action::Run:
        return false;
    case calls::Action::Limit:
        if (action.most < *count)
            *count = action.most;
        return false;
    case calls::Action::Zero:
        *result = 0;
        return true;
    case calls::Action::Fail:
        errno = action.error;
        *result = -1;
        return true;
    }
    abort();
}

} // namespace

__attribute__((constructor)) static void announce_loading()
{
    calls::announce_loading();
}

extern "C" ssize_t read(int fd, void *data, size_t count)
{
    static ReadFunction real_read = next<ReadFunction>("read");
    if (fd != 0)
        return real_read(fd, data, count);
    size_t asked = count;
    ssize_t result = 0;
    if (!scripted(&scripts.read0, &count, &result))
        result = real_read(fd, data, count);
    call_log.transfer("read", fd, asked, result, errno);
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
    if (fd != 1 && fd != 2)
        return real_write(fd, data, count);
    size_t asked = count;
    ssize_t result = 0;
    if (!scripted(fd == 1 ? &scripts.write1 : &scripts.write2, &count, &result))
        result = real_write(fd, data, count);
    call_log.transfer("write", fd, asked, result, errno);
    return result;
}

extern "C" int poll(struct pollfd *fds, nfds_t count, int timeout)
{
    static PollFunction real_poll = next<PollFunction>("poll");
    if (count != 1 || fds[0].fd < 0 || fds[0].fd > 2)
        return real_poll(fds, count, timeout);
    size_t unused = 0;
    ssize_t result = 0;
    if (!scripted(&scripts.poll, &unused, &result))
        result = real_poll(fds, count, timeout);
    call_log.poll(fds[0].fd, fds[0].events != POLLIN, result, errno);
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
    if (!scripted(fd == 1 ? &scripts.close1 : &scripts.close2, &unused, &result))
        result = closed;
    call_log.close_call(fd, result, errno);
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
    if (size == ChunkSize && calls::malloc_fails()) {
        errno = ENOMEM;
        return nullptr;
    }
    if (real_malloc == nullptr)
        real_malloc = next<MallocFunction>("malloc");
    return real_malloc(size);
}
