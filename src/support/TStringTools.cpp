#include "support/TStringTools.h"

#include "text/TNumberFormatter.h"

bool TStringTools::StgToBool(std::string StgText)
{
    if (StgText == "1") return true;
    if (StgText == "0") return false;
    throw "Text is neither 1 nor 0 in TStringTools::StgToBool";
}

bool TStringTools::HasSubstring(std::string StgText, std::string StgPart)
{
    return StgText.find(StgPart) != std::string::npos;
}

void TStringTools::ToUpper(std::string& StgText)
{
    // toupper would follow the global locale; the "C" locale maps a to z only.
    for (char& c : StgText)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}

void TStringTools::Trim(std::string& StgText)
{
    const size_t last = StgText.find_last_not_of(' ');
    if (last == std::string::npos) {
        StgText.clear();
        return;
    }
    StgText.erase(last + 1);
    StgText.erase(0, StgText.find_first_not_of(' '));
}

std::string TStringTools::FindAndReplace(std::string StgSource, std::string StgFind, std::string StgReplacement)
{
    // An empty text would be found at every position without end.
    if (StgFind.empty()) return StgSource;
    for (size_t at = StgSource.find(StgFind); at != std::string::npos;
         at = StgSource.find(StgFind, at + StgReplacement.size()))
        StgSource.replace(at, StgFind.size(), StgReplacement);
    return StgSource;
}

std::string TStringTools::ToString(long LngValue)
{
    char text[32];
    return std::string(text, TNumberFormatter::FormatLong(text, LngValue));
}

std::string TStringTools::ToString(int IntValue) { return ToString(static_cast<long>(IntValue)); }

std::string TStringTools::ToString(double DblValue)
{
    char text[TNumberFormatter::kMaxDoubleText];
    return std::string(text, TNumberFormatter::FormatDefault(text, DblValue));
}

void TStringTools::Tokenize(const std::string& StgText, std::vector<std::string>& VecTokens,
                            const std::string& StgDelimiters)
{
    VecTokens.clear();
    size_t start = StgText.find_first_not_of(StgDelimiters);
    while (start != std::string::npos) {
        const size_t end = StgText.find_first_of(StgDelimiters, start);
        VecTokens.push_back(StgText.substr(start, end - start));
        start = StgText.find_first_not_of(StgDelimiters, end);
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
