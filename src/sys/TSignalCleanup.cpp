#include "sys/TSignalCleanup.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>

#ifdef _WIN32
#include "sys/TSystemCalls.h"
#include "sys/TWindowsApi.h"
#else
#include <unistd.h>
#endif

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

#ifdef _WIN32

// Runs in a thread that Windows starts for the console event while the writing thread goes on;
// ending the process at once leaves that thread no time to name the file meanwhile, and ending it
// without the C library's cleanup (as _exit would) cannot wait for a lock that thread holds.
BOOL WINAPI RemoveAndStop(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
    // The temporary files are opened sharing deletion, so they go although still open.
    for (TSlot& slot : gSlots)
        if (slot.State.load(std::memory_order_acquire) == kInUse)
            TSystemCalls::Direct().UnlinkAt(slot.Directory, slot.Name, 0);
    TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);  // the status Ctrl-C gives by default
    return TRUE;
}

#else

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

#endif

}  // namespace

void TSignalCleanup::Install()
{
#ifdef _WIN32
    // A console whose Ctrl-C was ignored by the parent does not deliver it to handlers either.
    SetConsoleCtrlHandler(RemoveAndStop, TRUE);
#else
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
#endif
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
