#pragma once

#include "files/TByteSource.h"
#include "files/TGridHeader.h"
#include "files/TGridReadOptions.h"
#include "files/TGridTextReader.h"
#include "stack/TGridStack.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class TStackFailures;

// The inputs of a stack: opened in order and their headers read, then their cells parsed a band
// at a time, each input into one of two band slots (one is reduced while the other is parsed).
// Failures go to the run's failures as the input's own; an input that failed is closed.
class TStackInputs {
public:
    using TOpen = std::function<std::unique_ptr<TByteSource>(size_t)>;
    using TCheck = std::function<void(size_t, const TGridHeader&)>;

    TStackInputs(size_t count, TOpen open, const TGridReadOptions& read, TStackFailures& failures);
    TStackInputs(const TStackInputs&) = delete;
    TStackInputs& operator=(const TStackInputs&) = delete;

    // Opens the inputs in order and reads their headers, up to the first that fails (a grid
    // without cells fails with "File format error: ncols and nrows must be greater than 0", and
    // what `check` throws for a header is that input's failure); notes the first input whose
    // dimensions differ from the first input's.
    void Open(const TCheck& check);

    size_t Count() const { return MbrVecInputs.size(); }
    const TGridHeader& Header(size_t input) const { return MbrVecInputs[input].Header; }
    // The cells the input's header announces (the largest number where that overflows).
    uint64_t Cells(size_t input) const { return MbrVecInputs[input].Cells; }
    // Whether the input has cells left to parse, and how many its next band of `band` cells holds.
    bool Reading(size_t input) const { return MbrVecInputs[input].Reader && MbrVecInputs[input].Left > 0; }
    size_t NextBand(size_t input, size_t band) const;

    // Parses the input's next band of `cells` into the slot (0 or 1); any thread, one input each.
    void Parse(size_t input, int slot, size_t cells);
    // Parses every cell left into slot 0, which grows as the values arrive.
    void ParseRest(size_t input);
    const double* Band(size_t input, int slot) const { return MbrVecInputs[input].Band[slot].data(); }

    // Closes the inputs from `first` on (their failures can no longer matter, or all are read).
    void CloseFrom(size_t first);
    TStackProgress Progress() const;

private:
    struct TInput {
        std::unique_ptr<TByteSource> Source;
        std::unique_ptr<TGridTextReader> Reader;
        TGridHeader Header;
        TCellCursor Cursor;
        uint64_t Cells = 0;
        uint64_t Left = 0;
        std::vector<double> Band[2];
        void Close();
    };
    void OpenOne(size_t input, size_t readerBytes, const TCheck& check);
    void CompareDimensions(size_t input);

    TOpen MbrFncOpen;
    const TGridReadOptions& MbrRefRead;
    TStackFailures& MbrRefFailures;
    std::vector<TInput> MbrVecInputs;
    std::atomic<uint64_t> MbrCntBytes{0};
};
