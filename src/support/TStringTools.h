#pragma once

#include <string>
#include <vector>

// Small operations on byte strings. Character classes and number texts are those of the "C"
// locale, whatever the program's global locale is.
class TStringTools {
public:
    TStringTools() = delete;

    // True for "1", false for "0". Throws "Text is neither 1 nor 0 in TStringTools::StgToBool"
    // for any other text (no trimming).
    static bool StgToBool(std::string StgText);
    // True when StgPart occurs anywhere in StgText; an empty part is always found.
    static bool HasSubstring(std::string StgText, std::string StgPart);
    // Turns the letters a to z into A to Z in place; every other byte stays.
    static void ToUpper(std::string& StgText);
    // Removes the spaces (not tabs or line breaks) at both ends, in place.
    static void Trim(std::string& StgText);
    // A copy of the source with every occurrence of StgFind replaced, scanning on after each
    // inserted replacement so that it is never searched again. An empty StgFind returns the source.
    static std::string FindAndReplace(std::string StgSource, std::string StgFind, std::string StgReplacement);
    // The text a default output stream writes for the number (a double as %.6g).
    static std::string ToString(long LngValue);
    static std::string ToString(int IntValue);
    static std::string ToString(double DblValue);
    // Replaces the contents of VecTokens with the non-empty runs of StgText between delimiters;
    // each character of StgDelimiters is a delimiter by itself.
    static void Tokenize(const std::string& StgText, std::vector<std::string>& VecTokens,
                         const std::string& StgDelimiters);
    // A copy of the text that fits on one line: a line feed becomes the two characters \n, a tab
    // \t, and every other byte below 0x20, and 0x7f, becomes \x and two lowercase hexadecimal
    // digits (\x0d, \x7f). Every other byte, the backslash and UTF-8 characters included, stays.
    static std::string EscapeControlCharacters(const std::string& StgText);
};
