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
    static bool StgToBool(std::string text);
    // True when `part` occurs anywhere in `text`; an empty part is always found.
    static bool HasSubstring(std::string text, std::string part);
    // Turns the letters a to z into A to Z in place; every other byte stays.
    static void ToUpper(std::string& text);
    // Removes the spaces (not tabs or line breaks) at both ends, in place.
    static void Trim(std::string& text);
    // A copy of the source with every occurrence of `find` replaced, scanning on after each
    // inserted replacement so that it is never searched again. An empty `find` returns the source.
    static std::string FindAndReplace(std::string source, std::string find, std::string replacement);
    // The text a default output stream writes for the number (a double as %.6g).
    static std::string ToString(long value);
    static std::string ToString(int value);
    static std::string ToString(double value);
    // Replaces the contents of `tokens` with the non-empty runs of `text` between delimiters;
    // each character of `delimiters` is a delimiter by itself.
    static void Tokenize(const std::string& text, std::vector<std::string>& tokens, const std::string& delimiters);
    // A copy of the text that fits on one line: a line feed becomes the two characters \n, a tab
    // \t, and every other byte below 0x20, and 0x7f, becomes \x and two lowercase hexadecimal
    // digits (\x0d, \x7f). Every other byte, the backslash and UTF-8 characters included, stays.
    static std::string EscapeControlCharacters(const std::string& text);
};
