#pragma once

#include <string>

// The projection file (.prj, the coordinate system as text) that GIS software keeps beside a grid.
class TProjectionFiles {
public:
    TProjectionFiles() = delete;

    // The projection file's name for a grid file: a trailing ".gz" and then the last extension of
    // the file name are replaced by ".prj", so "mean.asc", "mean.asc.gz" and "mean" all give
    // "mean.prj" (directories are kept; dots in them are no extension).
    static std::string SidecarName(const std::string& StgGridName);
    // The projection file of an input grid: SidecarName, or the same ending in ".PRJ" as tools on
    // case-blind file systems write it, whichever is a regular file (".prj" first); "" when
    // there is none.
    static std::string FindSidecar(const std::string& StgGridName);

    // Copies the file `source` to `target`, which is replaced only once the whole copy is written
    // (the guarantees of TFileSink). Throws ReadText's messages for the source (a source larger
    // than kMaxTextSize is not copied), "Unable to open file " (a target that is no file to
    // replace by a rename too: a directory, a FIFO, a device) or "Unable to write file " and the
    // target's name.
    static void Copy(const std::string& StgSource, const std::string& StgTarget);

    // The text of a projection file. Throws the open and read messages with the name, and
    // "File format error: NAME is too large for a projection file" beyond kMaxTextSize bytes.
    static std::string ReadText(const std::string& StgFileName);
    static constexpr size_t kMaxTextSize = size_t(1) << 20;
    // Whether two projection texts say the same once each run of whitespace is one blank and
    // leading and trailing whitespace is dropped (exports differ in line breaks and indentation).
    static bool SameText(const std::string& StgFirst, const std::string& StgSecond);
};
