#pragma once

// Makes the library's system calls fail on purpose, one kind of call at a time, and counts them.
// The table of calls is saved when the guard is made and put back when it goes.

#include "sys/TSystemCalls.h"

#include <cerrno>
#include <mutex>
#include <vector>

template <auto Member>
struct TFaultyCall;

template <auto A, auto B>
constexpr bool kSameCall = false;
template <auto A>
constexpr bool kSameCall<A, A> = true;

// The stand-in for one entry of the table: passes `Skip` calls on, then fails `Times` calls
// (-1: every call from then on) with `Error`, counting every call. A failing close still
// releases the descriptor, as Linux's does. Calls from several threads are counted one at a time.
template <class TResult, class... TArgs, TResult (*TSystemCallTable::*Member)(TArgs...)>
struct TFaultyCall<Member> {
    static inline TResult (*Next)(TArgs...) = nullptr;
    static inline long Calls = 0;
    static inline long Skip = 0;
    static inline int Times = 0;
    static inline int Error = 0;
    static inline std::mutex Lock;

    static TResult Call(TArgs... args)
    {
        if (Fails()) {
            if constexpr (kSameCall<Member, &TSystemCallTable::Close>) Next(args...);
            errno = Error;
            return TResult(-1);
        }
        return Next(args...);
    }
    // Counts the call; whether it fails.
    static bool Fails()
    {
        const std::lock_guard<std::mutex> guard(Lock);
        ++Calls;
        if (Times == 0) return false;
        if (Skip > 0) {
            --Skip;
            return false;
        }
        if (Times > 0) --Times;
        return true;
    }
    static void Install()
    {
        TSystemCallTable& table = TSystemCalls::Table();
        if (table.*Member != &Call) {
            Next = table.*Member;
            table.*Member = &Call;
        }
    }
    static void Reset() { Calls = Skip = Times = Error = 0; }
};

class TSystemCallFaults {
public:
    TSystemCallFaults() : MbrTabSaved(TSystemCalls::Table()) {}
    ~TSystemCallFaults()
    {
        TSystemCalls::Table() = MbrTabSaved;
        for (auto reset : MbrVecResets) reset();
    }
    TSystemCallFaults(const TSystemCallFaults&) = delete;
    TSystemCallFaults& operator=(const TSystemCallFaults&) = delete;

    // The call fails with `error` after `skip` calls that succeed, `times` times (-1: always).
    template <auto Member>
    void Fail(int error, long skip = 0, int times = 1)
    {
        Watch<Member>();
        TFaultyCall<Member>::Error = error;
        TFaultyCall<Member>::Skip = skip;
        TFaultyCall<Member>::Times = times;
    }
    // The number of calls made since the call was first watched or failed.
    template <auto Member>
    long& Calls()
    {
        Watch<Member>();
        return TFaultyCall<Member>::Calls;
    }

private:
    template <auto Member>
    void Watch()
    {
        if (TSystemCalls::Table().*Member == &TFaultyCall<Member>::Call) return;
        TFaultyCall<Member>::Reset();
        TFaultyCall<Member>::Install();
        MbrVecResets.push_back(&TFaultyCall<Member>::Reset);
    }

    TSystemCallTable MbrTabSaved;
    std::vector<void (*)()> MbrVecResets;
};
