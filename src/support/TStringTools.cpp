#include "support/TStringTools.h"

#include "files/TNumberText.h"

bool TStringTools::StgToBool(std::string text)
{
    if (text == "1") return true;
    if (text == "0") return false;
    throw "Text is neither 1 nor 0 in TStringTools::StgToBool";
}

bool TStringTools::HasSubstring(std::string text, std::string part) { return text.find(part) != std::string::npos; }

void TStringTools::ToUpper(std::string& text)
{
    // toupper would follow the global locale; the "C" locale maps a to z only.
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}

void TStringTools::Trim(std::string& text)
{
    const size_t last = text.find_last_not_of(' ');
    if (last == std::string::npos) {
        text.clear();
        return;
    }
    text.erase(last + 1);
    text.erase(0, text.find_first_not_of(' '));
}

std::string TStringTools::FindAndReplace(std::string source, std::string find, std::string replacement)
{
    // An empty text would be found at every position without end.
    if (find.empty()) return source;
    for (size_t at = source.find(find); at != std::string::npos; at = source.find(find, at + replacement.size()))
        source.replace(at, find.size(), replacement);
    return source;
}

std::string TStringTools::ToString(long value)
{
    char text[32];
    return std::string(text, TNumberText::FormatLong(text, value));
}

std::string TStringTools::ToString(int value) { return ToString(static_cast<long>(value)); }

std::string TStringTools::ToString(double value)
{
    char text[TNumberText::kMaxDoubleText];
    return std::string(text, TNumberText::FormatDefault(text, value));
}

void TStringTools::Tokenize(const std::string& text, std::vector<std::string>& tokens, const std::string& delimiters)
{
    tokens.clear();
    size_t start = text.find_first_not_of(delimiters);
    while (start != std::string::npos) {
        const size_t end = text.find_first_of(delimiters, start);
        tokens.push_back(text.substr(start, end - start));
        start = text.find_first_not_of(delimiters, end);
    }
}

std::string TStringTools::EscapeControlCharacters(const std::string& text)
{
    // A backslash is left alone: names that hold one (rare, but common in files from Windows)
    // keep the messages they always had, and a one-line message is all that is promised.
    static const char kDigits[] = "0123456789abcdef";
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7f) {
            escaped += c;
        } else if (c == '\n') {
            escaped += "\\n";
        } else if (c == '\t') {
            escaped += "\\t";
        } else {
            escaped += "\\x";
            escaped += kDigits[byte >> 4];
            escaped += kDigits[byte & 15];
        }
    }
    return escaped;
}
