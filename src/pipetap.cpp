// pipetap: copies standard input to standard output and, chunk by chunk right
// after it, to standard error, so a pipeline passes the data on while the user
// watches it go by.
//
// A chunk is what one read returns, at most 64 KiB. It goes out whole to
// standard output, then whole to standard error, before the next read. At end
// of input the last cycle makes two zero-byte writes, both outputs are closed
// and the program exits 0. Any failure ends it at once with status 1 and one
// line on standard error, or nothing more when standard error itself failed
// or is the input file. SIGPIPE and SIGXFSZ keep their default actions, so a
// reader that went away or a file size limit ends it by that signal.

#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

// The most bytes one read brings in, and so the size of the one buffer.
constexpr uint32_t ChunkSize = 65536;

// ---- Platform differences, all of them, behind the same calls on each. ---
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <windows.h>

// The Windows C runtime names its descriptor calls with an underscore.
static ssize_t read_input(void *data, uint32_t size)
{
    return _read(STDIN_FILENO, data, size);
}

// The runtime reports a write to a pipe whose reader has gone as EINVAL; the
// system's own error code (broken, closing or unconnected pipe) tells that
// case apart.
static ssize_t write_output(int fd, const void *data, size_t size)
{
    int wrote = _write(fd, data, static_cast<unsigned>(size));
    if (wrote < 0 && errno == EINVAL &&
        (_doserrno == ERROR_BROKEN_PIPE || _doserrno == ERROR_NO_DATA ||
         _doserrno == ERROR_PIPE_NOT_CONNECTED))
        errno = EPIPE;
    return wrote;
}

static int close_output(int fd)
{
    return _close(fd);
}

// INVALID_HANDLE_VALUE for a descriptor that is not open.
static HANDLE handle_of(int fd)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

static bool is_console(int fd)
{
    HANDLE handle = handle_of(fd);
    DWORD console_mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &console_mode);
}

// The runtime opens the standard descriptors in text mode, which would turn
// LF into CR LF and stop input at a Ctrl+Z byte. Switch every one that is not
// a console to binary; console input stays in text mode, so Ctrl+Z, Enter
// still ends it. A closed descriptor is left for its first use to report.
static void prepare_descriptors()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd)
        if (handle_of(fd) != INVALID_HANDLE_VALUE && !is_console(fd))
            (void)_setmode(fd, _O_BINARY);
}

// Both outputs on the console count as one: it shows them in one stream.
// Otherwise a file is known by its volume serial number and file ID, the
// 128-bit one where the file system has it (ReFS needs it); FAT and exFAT
// refuse that, and have only the older 64-bit file index.
static bool same_file(int fd, int other)
{
    if (is_console(fd) && is_console(other))
        return true;
    HANDLE first = handle_of(fd);
    HANDLE second = handle_of(other);
    if (first == INVALID_HANDLE_VALUE || second == INVALID_HANDLE_VALUE)
        return false;
    FILE_ID_INFO first_id;
    FILE_ID_INFO second_id;
    if (GetFileInformationByHandleEx(first, FileIdInfo, &first_id, sizeof first_id) &&
        GetFileInformationByHandleEx(second, FileIdInfo, &second_id, sizeof second_id))
        return first_id.VolumeSerialNumber == second_id.VolumeSerialNumber &&
               memcmp(&first_id.FileId, &second_id.FileId, sizeof first_id.FileId) == 0;
    BY_HANDLE_FILE_INFORMATION first_index;
    BY_HANDLE_FILE_INFORMATION second_index;
    return GetFileInformationByHandle(first, &first_index) &&
           GetFileInformationByHandle(second, &second_index) &&
           first_index.dwVolumeSerialNumber == second_index.dwVolumeSerialNumber &&
           first_index.nFileIndexHigh == second_index.nFileIndexHigh &&
           first_index.nFileIndexLow == second_index.nFileIndexLow;
}

// Whether standard input is a disk file with some of it still unread.
static bool input_file_unread()
{
    HANDLE handle = handle_of(STDIN_FILENO);
    if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK)
        return false;
    __int64 offset = _lseeki64(STDIN_FILENO, 0, SEEK_CUR);
    return offset >= 0 && offset < _filelengthi64(STDIN_FILENO);
}

// Calls here are not interrupted by signals, and descriptors are never
// non-blocking: an EAGAIN is a failure like any other.
static int await(int fd, bool output)
{
    (void)fd;
    (void)output;
    return EAGAIN;
}
#else
#include <poll.h>

// With 32-bit offsets, fstat and lseek fail on a file of 2 GiB or more, and
// the input file would go unrecognised as an output.
static_assert(sizeof(off_t) == 8, "pipetap needs 64-bit file offsets: define _FILE_OFFSET_BITS=64");

static ssize_t read_input(void *data, uint32_t size)
{
    return read(STDIN_FILENO, data, size);
}

static ssize_t write_output(int fd, const void *data, size_t size)
{
    return write(fd, data, size);
}

static int close_output(int fd)
{
    return close(fd);
}

// With an output pipe of little more than a chunk, each write waits for the
// reader to make room, and the two sides take turns instead of running at
// once. Room for four chunks keeps them both busy. It is only a speed-up: a
// descriptor that is no pipe, a pipe already as big, or a refusal (the user's
// pipe memory is used up) leaves things as they are.
static void prepare_descriptors()
{
#ifdef F_SETPIPE_SZ
    const int room = 4 * ChunkSize;
    for (int fd = STDOUT_FILENO; fd <= STDERR_FILENO; ++fd) {
        int size = fcntl(fd, F_GETPIPE_SZ);
        if (size >= 0 && size < room)
            (void)fcntl(fd, F_SETPIPE_SZ, room);
    }
#endif
}

// A file, pipe or terminal is known by its device and inode numbers.
static bool same_file(int fd, int other)
{
    struct stat first;
    struct stat second;
    return fstat(fd, &first) == 0 && fstat(other, &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

// Whether standard input is a regular file with some of it still unread.
static bool input_file_unread()
{
    struct stat input;
    if (fstat(STDIN_FILENO, &input) != 0 || !S_ISREG(input.st_mode))
        return false;
    off_t offset = lseek(STDIN_FILENO, 0, SEEK_CUR);
    return offset >= 0 && offset < input.st_size;
}

// Waits until fd can be read, or written if output, after EAGAIN: another
// process sharing the descriptor made it non-blocking. Returns 0 or an errno.
static int await(int fd, bool output)
{
    struct pollfd wanted = {fd, static_cast<short>(output ? POLLOUT : POLLIN), 0};
    while (poll(&wanted, 1, -1) < 0)
        if (errno != EINTR)
            return errno;
    return 0;
}
#endif
// ---- End of platform differences. ------------------------------------------

uint32_t InLimit;      // the most bytes asked of one read
int32_t Inputs;        // the size of the chunk in hand, and at the end the exit status
unsigned char *Buffer; // the one chunk buffer, reused by every cycle
bool OutputsShared;    // standard output and standard error are one file, pipe or terminal
bool ErrorMidLine;     // the last byte written where standard error shows was not a newline

static int32_t put(int fd, const void *data, int32_t size);

// Ends the run after a failure on descriptor fd (-1 for none). A standard
// error that failed gets no message, so writing the message can fail only
// once: put() then comes back here for standard error and exits. The message
// starts a line of its own, after whatever data standard error has shown.
[[noreturn]] static void fail(int fd, const char *reason)
{
    if (fd != STDERR_FILENO) {
        const char *stream = fd == STDIN_FILENO    ? "standard input: "
                             : fd == STDOUT_FILENO ? "standard output: "
                                                   : "";
        char message[256];
        // A message too long for the array is cut short, still a string.
        if (snprintf(message, sizeof message, "%spipetap: %s%s\n", ErrorMidLine ? "\n" : "", stream,
                     reason) > 0)
            put(STDERR_FILENO, message, static_cast<int32_t>(strlen(message)));
    }
    exit(1);
}

// Called when a call on fd returned -1: returns when the call should be made
// again, and ends the run on any real failure.
static void recover(int fd, bool output)
{
    int error = errno;
    if (error == EINTR)
        return;
    if (error == EAGAIN || error == EWOULDBLOCK)
        error = await(fd, output);
    if (error != 0)
        fail(fd, strerror(error));
}

// Ends the run if an output writes to the file that standard input reads,
// with some of it still unread: the copy would feed itself until the disk is
// full. Standard error is looked at first, as it cannot take a message then.
// A descriptor that cannot be looked at is left for its first use to report.
static void refuse_output_on_input_file()
{
    if (!input_file_unread())
        return;
    const int outputs[] = {STDERR_FILENO, STDOUT_FILENO};
    for (int fd : outputs)
        if (same_file(STDIN_FILENO, fd))
            fail(fd, "input file is output file");
}

// Reads one chunk of at most limit bytes from standard input; 0 at its end.
static int32_t take(void *data, uint32_t limit)
{
    for (;;) {
        ssize_t got = read_input(data, limit);
        if (got >= 0)
            return static_cast<int32_t>(got);
        recover(STDIN_FILENO, false);
    }
}

// Writes all size bytes to fd, however many calls it takes, and returns size.
// Even a zero-byte write is made, once.
static int32_t put(int fd, const void *data, int32_t size)
{
    const char *bytes = static_cast<const char *>(data);
    int32_t done = 0;
    for (;;) {
        ssize_t wrote = write_output(fd, bytes + done, static_cast<size_t>(size - done));
        if (wrote < 0) {
            recover(fd, true);
            continue;
        }
        done += static_cast<int32_t>(wrote);
        if (wrote > 0 && (fd == STDERR_FILENO || OutputsShared))
            ErrorMidLine = bytes[done - 1] != '\n';
        if (done == size)
            return size;
        // Taking nothing of what is left would never end; call it a full device.
        if (wrote == 0)
            fail(fd, strerror(ENOSPC));
    }
}

int main()
{
    // Modes first, so that even a message before the copy comes out as it should.
    prepare_descriptors();
    // Before anything is written, so that the file is left as it was.
    refuse_output_on_input_file();
    // Then a message follows whatever either output wrote last.
    OutputsShared = same_file(STDOUT_FILENO, STDERR_FILENO);
    InLimit = ChunkSize;
    Buffer = static_cast<unsigned char *>(malloc(ChunkSize));
    if (Buffer == nullptr)
        fail(-1, strerror(errno));

    do {
        Inputs = take(Buffer, InLimit);
        Inputs = put(STDOUT_FILENO, Buffer, Inputs);
        Inputs = put(STDERR_FILENO, Buffer, Inputs);
    } while (Inputs != 0);

    // Some file systems report a failed write only when the file is closed
    // (NFS, quotas). An interrupted close is not made again: the descriptor
    // is gone either way, and whether the data arrived is unknown.
    if (close_output(STDOUT_FILENO) != 0)
        fail(STDOUT_FILENO, strerror(errno));
    if (close_output(STDERR_FILENO) != 0)
        fail(STDERR_FILENO, strerror(errno));

    free(Buffer);
    exit(Inputs);
}
