#pragma once

#include <vector>

// The libraries that inflate and deflate gzip data. zlib is in every build; ISA-L's igzip, which
// does both several times faster, is in builds that found it (the GRIDMEAN_ISAL option). Each
// reads every gzip file the other reads, and their outputs decompress to the same bytes; only
// the compressed bytes differ.
enum class TGzipLibrary { Zlib, Isal };

class TGzipLibraries {
public:
    TGzipLibraries() = delete;

    // The fastest library of this build, which the gzip source and sink use unless told otherwise.
    static TGzipLibrary Fastest();
    // Every library of this build, fastest first.
    static std::vector<TGzipLibrary> Available();
    static bool Has(TGzipLibrary library);
    // Throws "gzip through NAME is not in this build" for a library the build lacks.
    static void Require(TGzipLibrary library);
    // "zlib" or "isal".
    static const char* Name(TGzipLibrary library);
};
