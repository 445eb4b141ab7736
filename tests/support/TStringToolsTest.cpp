#include "support/TStringTools.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <locale>
#include <sstream>

namespace {

const char* const kNotAFlag = "Text is neither 1 nor 0 in TStringTools::StgToBool";

// A locale whose numbers use a decimal comma and group thousands, unlike the "C" locale.
class TCommaNumbers : public std::numpunct<char> {
protected:
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

// Installs a global locale for the lifetime of the guard.
class TGlobalLocale {
public:
    explicit TGlobalLocale(const std::locale& locale) : MbrLocPrevious(std::locale::global(locale)) {}
    ~TGlobalLocale() { std::locale::global(MbrLocPrevious); }

private:
    std::locale MbrLocPrevious;
};

std::vector<std::string> Tokens(const std::string& text, const std::string& delimiters)
{
    std::vector<std::string> tokens;
    TStringTools::Tokenize(text, tokens, delimiters);
    return tokens;
}

}  // namespace

TEST(StringFlag, AcceptsExactlyOneAndZero)
{
    EXPECT_TRUE(TStringTools::StgToBool("1"));
    EXPECT_FALSE(TStringTools::StgToBool("0"));
    for (const char* text : {"", "01", "1 ", " 0", "2", "true", "10"})
        EXPECT_EQ(ThrownMessage([&] { TStringTools::StgToBool(text); }), kNotAFlag) << '"' << text << '"';
}

TEST(StringSearch, FindsTextAtAnyPosition)
{
    EXPECT_TRUE(TStringTools::HasSubstring("grid.asc", "grid"));
    EXPECT_TRUE(TStringTools::HasSubstring("grid.asc", ".as"));
    EXPECT_TRUE(TStringTools::HasSubstring("grid.asc", "asc"));
    EXPECT_FALSE(TStringTools::HasSubstring("grid.asc", "ASC"));
    EXPECT_FALSE(TStringTools::HasSubstring("asc", "asc2"));
    EXPECT_TRUE(TStringTools::HasSubstring("grid", ""));
    EXPECT_TRUE(TStringTools::HasSubstring("", ""));
}

TEST(StringCase, CapitalisesAsciiLettersOnly)
{
    std::string text = "az`{AZ 09_-\xe9\xff";
    TStringTools::ToUpper(text);
    EXPECT_EQ(text, "AZ`{AZ 09_-\xe9\xff");

    // A global locale of another language must not change what becomes a capital.
    TGlobalLocale guard(std::locale(std::locale::classic(), new TCommaNumbers));
    std::string word = "ncols";
    TStringTools::ToUpper(word);
    EXPECT_EQ(word, "NCOLS");
}

TEST(StringTrim, RemovesSpacesAtBothEndsOnly)
{
    std::string text = "   ab\t";
    TStringTools::Trim(text);
    EXPECT_EQ(text, "ab\t");

    text = "\t a b  ";
    TStringTools::Trim(text);
    EXPECT_EQ(text, "\t a b");

    text = "   ";
    TStringTools::Trim(text);
    EXPECT_EQ(text, "");

    text = "";
    TStringTools::Trim(text);
    EXPECT_EQ(text, "");
}

TEST(StringReplace, ResumesAfterEachReplacement)
{
    EXPECT_EQ(TStringTools::FindAndReplace("aa", "a", "aa"), "aaaa");
    EXPECT_EQ(TStringTools::FindAndReplace("ab", "a", "ba"), "bab");
    EXPECT_EQ(TStringTools::FindAndReplace("aaa", "aa", "x"), "xa");
    EXPECT_EQ(TStringTools::FindAndReplace("a.b.c", ".", ""), "abc");
    EXPECT_EQ(TStringTools::FindAndReplace("in.asc", "asc", "txt"), "in.txt");
    EXPECT_EQ(TStringTools::FindAndReplace("grid", "x", "y"), "grid");
    EXPECT_EQ(TStringTools::FindAndReplace("", "a", "b"), "");
}

TEST(StringReplace, EmptyTextToFindReturnsSource)
{
    EXPECT_EQ(TStringTools::FindAndReplace("grid", "", "x"), "grid");
    EXPECT_EQ(TStringTools::FindAndReplace("", "", "x"), "");
}

TEST(StringNumber, IntegersInDecimal)
{
    EXPECT_EQ(TStringTools::ToString(-5L), "-5");
    EXPECT_EQ(TStringTools::ToString(-5), "-5");
    EXPECT_EQ(TStringTools::ToString(LONG_MIN), std::to_string(LONG_MIN));
    EXPECT_EQ(TStringTools::ToString(INT_MIN), "-2147483648");
}

TEST(StringNumber, DoublesAsADefaultStreamWritesThem)
{
    EXPECT_EQ(TStringTools::ToString(3.0), "3");
    EXPECT_EQ(TStringTools::ToString(0.1), "0.1");
    EXPECT_EQ(TStringTools::ToString(0.000012345), "1.2345e-05");
    EXPECT_EQ(TStringTools::ToString(1234567.0), "1.23457e+06");
    EXPECT_EQ(TStringTools::ToString(999999.5), "1e+06");
    EXPECT_EQ(TStringTools::ToString(-0.0), "-0");

    const double values[] = {-1.25,       1.0 / 3,  0.00012345, 0.0001, 99999.95, 1e-310, 6.02214e23, -7e-100,
                             12345.65,    1e5,      0.1 + 0.2,  std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::max(), std::numeric_limits<double>::denorm_min()};
    for (double value : values) {
        std::ostringstream stream;
        stream << value;
        EXPECT_EQ(TStringTools::ToString(value), stream.str()) << stream.str();
    }
}

TEST(StringNumber, IgnoresTheGlobalLocale)
{
    TGlobalLocale guard(std::locale(std::locale::classic(), new TCommaNumbers));
    EXPECT_EQ(TStringTools::ToString(0.5), "0.5");
    EXPECT_EQ(TStringTools::ToString(1234567L), "1234567");
    EXPECT_EQ(TStringTools::ToString(123456.0), "123456");
}

TEST(StringTokens, RunsOfDelimitersGiveNoEmptyTokens)
{
    EXPECT_EQ(Tokens(",a,,b,", ","), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Tokens("a", ","), (std::vector<std::string>{"a"}));
    EXPECT_EQ(Tokens(",,,", ","), std::vector<std::string>{});
    EXPECT_EQ(Tokens("", ","), std::vector<std::string>{});
}

TEST(StringTokens, EachDelimiterCharacterSplitsOnItsOwn)
{
    EXPECT_EQ(Tokens("  ncols\t 4 \r\n", " \t\r\n"), (std::vector<std::string>{"ncols", "4"}));
    // "ab" is a set of two delimiters, not a separator word.
    EXPECT_EQ(Tokens("xaybz", "ab"), (std::vector<std::string>{"x", "y", "z"}));
    EXPECT_EQ(Tokens("a b", ""), (std::vector<std::string>{"a b"}));
    EXPECT_EQ(Tokens("", ""), std::vector<std::string>{});
}

TEST(StringTokens, ReplacesWhatTheListHeld)
{
    std::vector<std::string> tokens{"old", "entries", "here"};
    TStringTools::Tokenize("new;one", tokens, ";");
    EXPECT_EQ(tokens, (std::vector<std::string>{"new", "one"}));
    TStringTools::Tokenize(";", tokens, ";");
    EXPECT_TRUE(tokens.empty());
}
