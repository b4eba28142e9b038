#pragma once
// Fault injection for tests: a simulated crash in the middle of writing.
//
// Armed with a number of bytes, the process may write that many more bytes
// to files through BinaryStream. The write that reaches the budget writes
// what fits, and the process then kills itself with SIGKILL at once, before
// it can change the file in any other way (cut it, write more). A crash test
// arms it in a forked child and looks at the file the child left behind.
//
// What it simulates is the death of the process, not the loss of power: the
// system keeps every byte written before the kill, synced or not.
//
// Process-wide and not thread-safe: meant for one test process, or a child
// of one. Disarmed, which it is unless a test arms it, a write or a sync
// costs one branch more.
#include <sys/types.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

namespace writebudget {

// The process dies once `bytes` more bytes have been written; with 0 it dies
// at its next write, before writing anything.
void Arm(int64_t bytes);
void Disarm();
// The bytes still allowed while armed. A test arms a budget larger than any
// operation needs and reads this afterwards to learn how much it wrote.
int64_t Remaining();

namespace detail {
extern bool armed;
ssize_t BudgetedPWrite(int fd, const void* buf, size_t count, off_t at);
}  // namespace detail

// pwrite, under the budget when armed.
inline ssize_t PWrite(int fd, const void* buf, size_t count, off_t at) {
  if (!detail::armed) return ::pwrite(fd, buf, count, at);
  return detail::BudgetedPWrite(fd, buf, count, at);
}

// fsync, skipped when armed: a killed process loses nothing that the
// system already holds, so waiting for the disk would only slow the tests.
inline int FSync(int fd) { return detail::armed ? 0 : ::fsync(fd); }

}  // namespace writebudget
