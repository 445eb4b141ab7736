#include "support/TFileMessages.h"

#include "support/TStringTools.h"

std::string TFileMessages::Shown(const std::string& name) { return TStringTools::EscapeControlCharacters(name); }

std::string TFileMessages::UnableToOpen(const std::string& name) { return "Unable to open file " + Shown(name); }

std::string TFileMessages::UnableToRead(const std::string& name) { return "Unable to read file " + Shown(name); }

std::string TFileMessages::UnableToWrite(const std::string& name) { return "Unable to write file " + Shown(name); }

std::string TFileMessages::TooLargeForProjection(const std::string& name)
{
    return "File format error: " + Shown(name) + " is too large for a projection file";
}

std::string TFileMessages::AlreadyReplaced(const std::string& message, const std::vector<std::string>& names)
{
    if (names.empty()) return message;
    std::string text = message + " (already replaced: ";
    for (size_t i = 0; i < names.size(); ++i) text += (i > 0 ? ", " : "") + Shown(names[i]);
    return text + ")";
}

std::string TFileMessages::GeometryDiffers(const std::string& name, const std::string& value, const std::string& number,
                                           const std::string& first, const std::string& firstNumber)
{
    return "Geometry differs: " + Shown(name) + " has " + value + " " + number + ", " + Shown(first) + " has " +
        firstNumber;
}

std::string TFileMessages::OtherCoordinateSystem(const std::string& name, const std::string& projection,
                                                 const std::string& first)
{
    return "Geometry differs: " + Shown(name) + " has another coordinate system (" + Shown(projection) + ") than " +
        Shown(first);
}
