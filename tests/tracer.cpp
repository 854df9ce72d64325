// Test-only tracer, for a pipetap that the recording library cannot be
// loaded into (a static one): runs it, stopping it at each system call
// (ptrace), and records and scripts its calls on the standard descriptors as
// that library does (calls.h), so that the same tests run on it.
//
//   tracer PROGRAM [ARGUMENT...]
//
// Its exit status is the program's, and a signal that ends the program ends
// the tracer too. It follows x86-64 and i386 programs from an x86-64
// machine; elsewhere, or where it may not trace, it runs nothing, makes no
// TAP_LOADED and exits with status 125. An allocation is made to fail as the
// system makes it fail: no more memory for the heap or for large anonymous
// mappings, from the start of the program.

#include "calls.h"

#include <limits.h>
#include <linux/audit.h>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/mman.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/uio.h>
#include <sys/user.h>
#include <sys/wait.h>

namespace
{

[[noreturn]] void give_up(const char *what)
{
    // Standard error is the program's, which the tests compare: any word
    // here fails the test, as it should.
    dprintf(STDERR_FILENO, "tracer: %s: %s\n", what, strerror(errno));
    exit(125);
}

// The calls the tracer looks at, by their numbers on each machine.
struct CallNumbers {
    long read, write, close, poll, ppoll, brk, mmap;
};
constexpr CallNumbers x86_64_calls{0, 1, 3, 7, 271, 12, 9};
constexpr CallNumbers i386_calls{3, 4, 6, 168, 309, 45, 192}; // mmap2

#if defined(__x86_64__)
// An i386 program's registers, seen from x86-64, hold its arguments in the
// order ebx, ecx, edx; an x86-64 program's in rdi, rsi, rdx.
template <typename Edit> void edit_registers(pid_t pid, Edit edit)
{
    struct user_regs_struct registers;
    if (ptrace(PTRACE_GETREGS, pid, nullptr, &registers) != 0)
        give_up("PTRACE_GETREGS");
    edit(registers);
    if (ptrace(PTRACE_SETREGS, pid, nullptr, &registers) != 0)
        give_up("PTRACE_SETREGS");
}

// At the call's entry: make no call at all; its result is set at its exit.
void skip_call(pid_t pid)
{
    edit_registers(pid, [](auto &registers) { registers.orig_rax = ~0ULL; });
}

// The first argument, for a 32-bit program if i386, and the third, a read's
// or write's count. Set at the call's entry, each is set back at its exit:
// the registers keep the arguments across the call, and the C library may
// read them again after it.
void set_first_argument(pid_t pid, bool i386, unsigned long value)
{
    edit_registers(pid, [&](auto &registers) { (i386 ? registers.rbx : registers.rdi) = value; });
}

void set_count(pid_t pid, unsigned long value)
{
    edit_registers(pid, [&](auto &registers) { registers.rdx = value; });
}

// At the call's exit: what it returns.
void set_result(pid_t pid, long value)
{
    edit_registers(pid,
                   [&](auto &registers) { registers.rax = static_cast<unsigned long>(value); });
}

constexpr bool can_trace = true;
#else
void skip_call(pid_t)
{
}
void set_first_argument(pid_t, bool, unsigned long)
{
}
void set_count(pid_t, unsigned long)
{
}
void set_result(pid_t, long)
{
}
constexpr bool can_trace = false;
#endif

calls::Scripts scripts;
calls::Log call_log(write);
const bool allocations_fail = calls::malloc_fails();

// A call between its entry and its exit.
struct Pending {
    enum Kind { None, Transfer, Poll, Close } kind = None;
    const char *name = "";
    int fd = -1;
    size_t asked = 0;
    bool output = false;
    bool forced = false; // its result is the one below, not the system's
    long result = 0;
    bool i386 = false;
    bool first_changed = false; // its first argument, as given below, was changed
    unsigned long first = 0;
    bool count_changed = false; // its count, asked, was changed
};

// Decides at a call's entry what becomes of it.
Pending enter(pid_t pid, const struct __ptrace_syscall_info &info, const CallNumbers &numbers)
{
    const long number = static_cast<long>(info.entry.nr);
    const auto *args = info.entry.args;
    const int fd = static_cast<int>(args[0]);
    Pending call;
    calls::Script *script = nullptr;
    if (number == numbers.read && fd == 0) {
        call = {.kind = Pending::Transfer, .name = "read", .fd = fd, .asked = args[2]};
        script = &scripts.read0;
    } else if (number == numbers.write && (fd == 1 || fd == 2)) {
        call = {.kind = Pending::Transfer, .name = "write", .fd = fd, .asked = args[2]};
        script = fd == 1 ? &scripts.write1 : &scripts.write2;
    } else if ((number == numbers.poll || number == numbers.ppoll) && args[1] == 1) {
        struct pollfd wanted;
        struct iovec here = {&wanted, sizeof wanted};
        struct iovec there = {reinterpret_cast<void *>(args[0]), sizeof wanted};
        if (process_vm_readv(pid, &here, 1, &there, 1, 0) != sizeof wanted)
            give_up("process_vm_readv");
        if (wanted.fd < 0 || wanted.fd > 2)
            return call;
        call = {.kind = Pending::Poll, .fd = wanted.fd, .output = wanted.events != POLLIN};
        script = &scripts.poll;
    } else if (number == numbers.close && (fd == 1 || fd == 2)) {
        call = {.kind = Pending::Close, .fd = fd};
        script = fd == 1 ? &scripts.close1 : &scripts.close2;
    } else if (allocations_fail) {
        // The heap cannot grow: asked to, brk only tells where it ends.
        if (number == numbers.brk && args[0] != 0) {
            const bool i386 = &numbers == &i386_calls;
            set_first_argument(pid, i386, 0);
            return {.i386 = i386, .first_changed = true, .first = args[0]};
        }
        if (number == numbers.mmap && (args[3] & MAP_ANONYMOUS) != 0 &&
            (args[3] & MAP_FIXED) == 0 && args[1] >= ChunkSize) {
            skip_call(pid);
            return {.forced = true, .result = -ENOMEM};
        }
        return call;
    } else {
        return call;
    }

    calls::Action action = script->next();
    long scripted_result = action.kind == calls::Action::Fail ? -action.error : 0;
    if (action.kind == calls::Action::Limit && action.most < call.asked) {
        set_count(pid, action.most);
        call.count_changed = true;
    }
    if (action.kind == calls::Action::Zero || action.kind == calls::Action::Fail) {
        // A close is made all the same.
        if (call.kind != Pending::Close)
            skip_call(pid);
        call.forced = true;
        call.result = scripted_result;
    }
    return call;
}

// Sets the result of the call at its exit, if scripted, and records it.
void leave(pid_t pid, const struct __ptrace_syscall_info &info, const Pending &call)
{
    long result = call.forced ? call.result : static_cast<long>(info.exit.rval);
    if (call.forced)
        set_result(pid, result);
    if (call.first_changed)
        set_first_argument(pid, call.i386, call.first);
    if (call.count_changed)
        set_count(pid, call.asked);
    int error = result < 0 ? static_cast<int>(-result) : 0;
    long shown = result < 0 ? -1 : result;
    switch (call.kind) {
    case Pending::Transfer:
        call_log.transfer(call.name, call.fd, call.asked, shown, error);
        break;
    case Pending::Poll:
        call_log.poll(call.fd, call.output, shown, error);
        break;
    case Pending::Close:
        call_log.close_call(call.fd, shown, error);
        break;
    case Pending::None:
        break;
    }
}

// Gives up unless the program runs as itself: one of another machine runs
// inside its emulator (qemu, through binfmt_misc), whose calls are not the
// program's own.
void runs_itself(pid_t pid, const char *program)
{
    char running[PATH_MAX];
    char asked[PATH_MAX];
    const std::string exe = "/proc/" + std::to_string(pid) + "/exe";
    ssize_t length = readlink(exe.c_str(), running, sizeof running - 1);
    if (length < 0 || realpath(program, asked) == nullptr)
        give_up("the program's path");
    running[length] = '\0';
    if (strcmp(running, asked) != 0) {
        kill(pid, SIGKILL);
        errno = ENOEXEC;
        give_up("the program runs inside another, which this tracer does not follow");
    }
}

// Ends the tracer as the program ended.
[[noreturn]] void end_as(int status)
{
    if (WIFEXITED(status))
        exit(WEXITSTATUS(status));
    int signal_number = WTERMSIG(status);
    // Its core, if any, was the program's to dump.
    const struct rlimit no_core = {0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    signal(signal_number, SIG_DFL);
    sigset_t just_that;
    sigemptyset(&just_that);
    sigaddset(&just_that, signal_number);
    sigprocmask(SIG_UNBLOCK, &just_that, nullptr);
    raise(signal_number);
    exit(128 + signal_number);
}

int wait_stop(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            give_up("waitpid");
    if (WIFEXITED(status) || WIFSIGNALED(status))
        end_as(status);
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        dprintf(STDERR_FILENO, "usage: tracer PROGRAM [ARGUMENT...]\n");
        return 2;
    }
    if (!can_trace) {
        errno = ENOSYS;
        give_up("this tracer follows programs on x86-64 only");
    }
    pid_t pid = fork();
    if (pid < 0)
        give_up("fork");
    if (pid == 0) {
        if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0)
            give_up("PTRACE_TRACEME");
        raise(SIGSTOP);
        execv(argv[1], argv + 1);
        give_up(argv[1]);
    }
    wait_stop(pid);
    // Killed with the tracer, on its time limit say.
    const long options = PTRACE_O_TRACESYSGOOD | PTRACE_O_TRACEEXEC | PTRACE_O_EXITKILL;
    if (ptrace(PTRACE_SETOPTIONS, pid, nullptr, options) != 0)
        give_up("PTRACE_SETOPTIONS");

    bool started = false; // past the exec, at the program's first call
    bool execed = false;
    Pending call;
    int passed_signal = 0;
    for (;;) {
        if (ptrace(PTRACE_SYSCALL, pid, nullptr, passed_signal) != 0)
            give_up("PTRACE_SYSCALL");
        passed_signal = 0;
        int status = wait_stop(pid);
        int stop = WSTOPSIG(status);
        if (status >> 8 == (SIGTRAP | (PTRACE_EVENT_EXEC << 8))) {
            execed = true;
            runs_itself(pid, argv[1]);
            continue;
        }
        if (stop != (SIGTRAP | 0x80)) {
            // A signal for the program, passed on; a group stop passes nothing.
            siginfo_t about;
            if (ptrace(PTRACE_GETSIGINFO, pid, nullptr, &about) == 0)
                passed_signal = stop;
            continue;
        }
        if (!execed)
            continue;
        struct __ptrace_syscall_info info;
        if (ptrace(PTRACE_GET_SYSCALL_INFO, pid, sizeof info, &info) <= 0)
            give_up("PTRACE_GET_SYSCALL_INFO");
        const CallNumbers *numbers = info.arch == AUDIT_ARCH_X86_64 ? &x86_64_calls
                                     : info.arch == AUDIT_ARCH_I386 ? &i386_calls
                                                                    : nullptr;
        if (numbers == nullptr) {
            kill(pid, SIGKILL);
            errno = ENOEXEC;
            give_up("a program of a machine this tracer does not know");
        }
        if (!started) {
            started = true;
            calls::announce_loading();
        }
        if (info.op == PTRACE_SYSCALL_INFO_ENTRY) {
            call = enter(pid, info, *numbers);
        } else if (info.op == PTRACE_SYSCALL_INFO_EXIT) {
            leave(pid, info, call);
            call = {};
        }
    }
}
