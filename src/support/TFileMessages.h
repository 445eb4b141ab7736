#pragma once

#include <string>
#include <vector>

// The messages that name a file, composed in one place so that every one of them shows the name
// with its control characters escaped (TStringTools::EscapeControlCharacters): a name holding a
// line feed, a tab or an escape character still gives one line.
class TFileMessages {
public:
    TFileMessages() = delete;

    // The name as messages show it.
    static std::string Shown(const std::string& StgName);

    // "Unable to open file NAME", "Unable to read file NAME", "Unable to write file NAME".
    static std::string UnableToOpen(const std::string& StgName);
    static std::string UnableToRead(const std::string& StgName);
    static std::string UnableToWrite(const std::string& StgName);
    // "File format error: NAME is too large for a projection file".
    static std::string TooLargeForProjection(const std::string& StgName);
    // "Geometry differs: NAME has VALUE X, FIRST has Y", VALUE being xllcorner, yllcorner or
    // cellsize and X and Y as the header shows them.
    static std::string GeometryDiffers(const std::string& StgName, const std::string& StgValue,
                                       const std::string& StgNumber, const std::string& StgFirst,
                                       const std::string& StgFirstNumber);
    // A failure while outputs were being put in place, after some already were: the message and
    // " (already replaced: A, B)"; the message alone where none was.
    static std::string AlreadyReplaced(const std::string& StgMessage, const std::vector<std::string>& VecNames);
    // "Geometry differs: NAME has another coordinate system (PRJ) than FIRST".
    static std::string OtherCoordinateSystem(const std::string& StgName, const std::string& StgProjection,
                                             const std::string& StgFirst);
};
