// What the tests expect of pipetap's chunk, and the bounds that every run a
// test starts is held to: shared by the harness and the recording library.
#pragma once

#include <stddef.h>

// The most bytes pipetap asks of one read: the size of a full chunk, and of
// the one buffer it allocates.
constexpr size_t ChunkSize = 65536;

// What any one run may write to a file: far more than a test needs, little
// enough that a broken program that writes forever fails its test quickly
// instead of filling the disk.
constexpr long RunFileSizeLimit = 16L << 20;
// Seconds of processor time, and of time on the clock, that any one run may
// take: a run takes a fraction of a second, even under an emulator, and one
// that spins or waits without end is stopped.
constexpr long RunCpuLimit = 10;
constexpr unsigned RunTimeLimit = 30;
// Bytes of call log past which the recording library aborts the run.
constexpr size_t CallLogLimit = 8 << 20;
