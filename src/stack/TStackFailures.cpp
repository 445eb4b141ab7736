#include "stack/TStackFailures.h"

#include "stats/TStackMessages.h"

TStackFailures::TStackFailures(size_t inputs) : MbrVecInputs(inputs), MbrSizEarliest(inputs) {}

void TStackFailures::Input(size_t input, std::exception_ptr failure)
{
    std::lock_guard<std::mutex> lock(MbrMtxLock);
    MbrVecInputs[input] = failure;
    if (input < MbrSizEarliest) MbrSizEarliest = input;
    MbrBlnNew = true;
}

void TStackFailures::Result(std::exception_ptr failure)
{
    std::lock_guard<std::mutex> lock(MbrMtxLock);
    if (!MbrPtrResult) MbrPtrResult = failure;
    MbrBlnNew = true;
}

void TStackFailures::Dimensions(size_t input, char dimension, long count, long firstCount)
{
    std::lock_guard<std::mutex> lock(MbrMtxLock);
    if (MbrDimensions.Input >= 0) return;
    MbrDimensions = TStackBlame{static_cast<long>(input), dimension, count, firstCount};
    MbrBlnNew = true;
}

size_t TStackFailures::InputsThatCount() const
{
    std::lock_guard<std::mutex> lock(MbrMtxLock);
    return MbrSizEarliest < MbrVecInputs.size() ? MbrSizEarliest + 1 : MbrVecInputs.size();
}

bool TStackFailures::Any() const
{
    std::lock_guard<std::mutex> lock(MbrMtxLock);
    return MbrSizEarliest < MbrVecInputs.size() || MbrPtrResult || MbrDimensions.Input >= 0;
}

bool TStackFailures::TakeNew()
{
    std::lock_guard<std::mutex> lock(MbrMtxLock);
    const bool fresh = MbrBlnNew;
    MbrBlnNew = false;
    return fresh;
}

void TStackFailures::Throw(TStackBlame* blame) const
{
    std::lock_guard<std::mutex> lock(MbrMtxLock);
    if (blame) *blame = TStackBlame{};
    if (MbrSizEarliest < MbrVecInputs.size()) {
        if (blame) blame->Input = static_cast<long>(MbrSizEarliest);
        std::rethrow_exception(MbrVecInputs[MbrSizEarliest]);
    }
    if (MbrVecInputs.size() < 2) throw TStackMessages::kTooFewMaps;
    if (MbrDimensions.Input >= 0) {
        if (blame) *blame = MbrDimensions;
        throw MbrDimensions.Dimension == 'X' ? TStackMessages::kColumnsDiffer : TStackMessages::kRowsDiffer;
    }
    if (!MbrPtrResult) throw "No failure to report in TStackFailures";  // not reached: callers throw on failure only
    std::rethrow_exception(MbrPtrResult);
}
