#include "files/TGzipLibrary.h"

#include <algorithm>
#include <string>

std::vector<TGzipLibrary> TGzipLibraries::Available()
{
#ifdef GRIDMEAN_HAVE_ISAL
    return {TGzipLibrary::Isal, TGzipLibrary::Zlib};
#else
    return {TGzipLibrary::Zlib};
#endif
}

TGzipLibrary TGzipLibraries::Fastest() { return Available().front(); }

bool TGzipLibraries::Has(TGzipLibrary library)
{
    const std::vector<TGzipLibrary> available = Available();
    return std::find(available.begin(), available.end(), library) != available.end();
}

void TGzipLibraries::Require(TGzipLibrary library)
{
    if (!Has(library)) throw std::string("gzip through ") + Name(library) + " is not in this build";
}

const char* TGzipLibraries::Name(TGzipLibrary library) { return library == TGzipLibrary::Isal ? "isal" : "zlib"; }
