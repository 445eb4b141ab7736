#pragma once

#include "stack/TGridStack.h"

#include <cstddef>
#include <exception>
#include <mutex>
#include <vector>

// The failures of one run of a stack, found on any thread, and the order in which they are
// reported: as if the grids were loaded one after another. The earliest input that failed wins
// (even when a later one's failure was found first); then too few inputs; then the first input
// whose dimensions differ from the first input's; then the result's failure (its computation or
// its output).
class TStackFailures {
public:
    explicit TStackFailures(size_t inputs);
    TStackFailures(const TStackFailures&) = delete;
    TStackFailures& operator=(const TStackFailures&) = delete;

    // Any thread.
    void Input(size_t input, std::exception_ptr failure);
    void Result(std::exception_ptr failure);
    // The dimensions of `input` differ from the first input's (the first such input is kept).
    void Dimensions(size_t input, char dimension, long count, long firstCount);

    // The inputs whose failures can still change the outcome: up to the earliest that failed.
    size_t InputsThatCount() const;
    bool Any() const;
    // Whether a failure came since the last call.
    bool TakeNew();

    // Throws the failure reported first, naming the input it concerns in `blame`.
    [[noreturn]] void Throw(TStackBlame* blame) const;

private:
    mutable std::mutex MbrMtxLock;
    std::vector<std::exception_ptr> MbrVecInputs;
    size_t MbrSizEarliest;
    std::exception_ptr MbrPtrResult;
    TStackBlame MbrDimensions;  // Input -1 while no dimensions differ
    bool MbrBlnNew = false;
};
