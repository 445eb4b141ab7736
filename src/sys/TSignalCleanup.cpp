#include "sys/TSignalCleanup.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Slots are filled before they are marked in use and released by one store, so the handler
// (which may interrupt Register or Unregister) sees either a whole entry or none. A few slots
// suffice: a program writes one output, and its companions, at a time.
constexpr int kSlots = 16;
constexpr int kFree = 0;
constexpr int kFilling = 1;
constexpr int kInUse = 2;

struct TSlot {
    std::atomic<int> State{kFree};
    int Directory = -1;
    char Name[256] = {};
};

TSlot gSlots[kSlots];
static_assert(std::atomic<int>::is_always_lock_free, "slot states must be safe to read in a signal handler");

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void RemoveAndStop(int signalNumber)
{
    // Only async-signal-safe calls here, and the direct ones: a test's replacement of the
    // system call table must not decide what a dying process removes.
    const int savedErrno = errno;
    for (TSlot& slot : gSlots)
        if (slot.State.load(std::memory_order_acquire) == kInUse) ::unlinkat(slot.Directory, slot.Name, 0);
    errno = savedErrno;
    // The action was reset to the default on entry (SA_RESETHAND); the signal raised again is
    // delivered once the handler returns, ending the process with that signal's usual status.
    ::raise(signalNumber);
}

}  // namespace

void TSignalCleanup::Install()
{
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    ::sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, nullptr);

    struct sigaction cleanup = {};
    cleanup.sa_handler = RemoveAndStop;
    ::sigemptyset(&cleanup.sa_mask);
    for (int signalNumber : kStopSignals) ::sigaddset(&cleanup.sa_mask, signalNumber);
    cleanup.sa_flags = SA_RESETHAND;
    for (int signalNumber : kStopSignals) {
        struct sigaction previous = {};
        if (::sigaction(signalNumber, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        ::sigaction(signalNumber, &cleanup, nullptr);
    }
}

int TSignalCleanup::Register(int directory, const char* name)
{
    const size_t length = std::strlen(name);
    if (length >= sizeof(gSlots[0].Name)) return -1;
    for (int k = 0; k < kSlots; ++k) {
        int expected = kFree;
        if (!gSlots[k].State.compare_exchange_strong(expected, kFilling, std::memory_order_acquire)) continue;
        gSlots[k].Directory = directory;
        std::memcpy(gSlots[k].Name, name, length + 1);
        gSlots[k].State.store(kInUse, std::memory_order_release);
        return k;
    }
    return -1;
}

void TSignalCleanup::Unregister(int slot)
{
    if (slot >= 0 && slot < kSlots) gSlots[slot].State.store(kFree, std::memory_order_release);
}
