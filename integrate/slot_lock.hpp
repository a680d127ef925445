// The lock that guards the process-wide slots. Constant-initialised, so it is
// usable before any constructor of the library has run.
#pragma once

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <mutex>
#endif

namespace zolehead {

#if defined(_WIN32)
// A slim reader/writer lock: no thread library to ship with the DLL.
class SlotLock {
public:
    void lock() noexcept { AcquireSRWLockExclusive(&lock_); }
    void unlock() noexcept { ReleaseSRWLockExclusive(&lock_); }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
};
#else
using SlotLock = std::mutex;
#endif

// Holds a SlotLock for a scope.
class SlotLockHold {
public:
    explicit SlotLockHold(SlotLock& lock) noexcept : lock_(lock) { lock_.lock(); }
    ~SlotLockHold() { lock_.unlock(); }
    SlotLockHold(const SlotLockHold&) = delete;
    SlotLockHold& operator=(const SlotLockHold&) = delete;

private:
    SlotLock& lock_;
};

}  // namespace zolehead
