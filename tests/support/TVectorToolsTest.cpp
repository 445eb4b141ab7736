#include "support/TVectorTools.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const std::string kProductLengths = "Length of vectors does not match in TVectorTools::VectorProduct";

double ReadDouble(const std::string& text) { return TVectorTools::StringToDouble({text}).front(); }
int ReadInt(const std::string& text) { return TVectorTools::StringToInt({text}).front(); }

}  // namespace

TEST(VectorSums, SumRunsInIndexOrderFromZero)
{
    EXPECT_EQ(TVectorTools::SumVector({}), 0.0);
    // 1e16 + 1 rounds back to 1e16, but 1 + 1 + 1e16 is exact.
    EXPECT_EQ(TVectorTools::SumVector({1e16, 1, 1}), 1e16);
    EXPECT_EQ(TVectorTools::SumVector({1, 1, 1e16}), 1e16 + 2);
}

TEST(VectorSums, MeanOfEmptySequenceIsNaN)
{
    EXPECT_TRUE(std::isnan(TVectorTools::VectorMean({})));
    EXPECT_EQ(TVectorTools::VectorMean({1, 2, 3, 4}), 2.5);
}

TEST(VectorSums, WeightedMeanDividesByCountNotByWeights)
{
    EXPECT_EQ(TVectorTools::VectorWeightedMean({2, 4}, {1, 3}), 7.0);
    EXPECT_TRUE(std::isnan(TVectorTools::VectorWeightedMean({}, {})));
    EXPECT_EQ(ThrownMessage([] { TVectorTools::VectorWeightedMean({1, 2}, {1}); }),
              "Length of value and weight vectors do not match in TVectorTools::WeightedMean");
}

TEST(VectorMembership, ExactEqualityAndNaNNeverFound)
{
    EXPECT_FALSE(TVectorTools::HasValue(std::vector<double>{1.0, kNaN}, kNaN));
    EXPECT_TRUE(TVectorTools::HasValue(std::vector<double>{1.0, kNaN}, 1.0));
    EXPECT_FALSE(TVectorTools::HasValue(std::vector<double>{1.0}, 1.0 + 1e-15));
    EXPECT_TRUE(TVectorTools::HasValue(std::vector<int>{3, -7}, -7));
    EXPECT_FALSE(TVectorTools::HasValue(std::vector<int>{3, -7}, 7));
}

TEST(VectorText, IntegersReadAsAtoiReadsThem)
{
    EXPECT_EQ(TVectorTools::StringToInt({" 42", "-7x", "abc"}), (std::vector<int>{42, -7, 0}));
    EXPECT_EQ(TVectorTools::StringToInt({"\t\n\v\f\r+15", "", "-", "- 5", "12 34", "0x10", "3.9", "007"}),
              (std::vector<int>{15, 0, 0, 0, 12, 0, 3, 7}));
    // The text ends at a NUL, as it does for atoi.
    EXPECT_EQ(ReadInt(std::string("12\0" "34", 5)), 12);
}

TEST(VectorText, IntegersBeyondIntClampToTheNearestBound)
{
    EXPECT_EQ(ReadInt("2147483647"), INT_MAX);
    EXPECT_EQ(ReadInt("-2147483648"), INT_MIN);
    EXPECT_EQ(ReadInt("2147483648"), INT_MAX);
    EXPECT_EQ(ReadInt("-2147483649"), INT_MIN);
    EXPECT_EQ(ReadInt("99999999999999999999999999"), INT_MAX);
    EXPECT_EQ(ReadInt("-99999999999999999999999999"), INT_MIN);
}

TEST(VectorText, DoublesReadTheLongestDecimalPrefix)
{
    EXPECT_EQ(TVectorTools::StringToDouble({"2.5e1", ""}), (std::vector<double>{25.0, 0.0}));
    EXPECT_EQ(TVectorTools::StringToDouble({"  -1.5abc", "+.5", "5.", ".", "-", "e5", "1e", "1e+", "1e-2x", "1,5"}),
              (std::vector<double>{-1.5, 0.5, 5.0, 0.0, 0.0, 0.0, 1.0, 1.0, 0.01, 1.0}));
    EXPECT_EQ(ReadDouble("0.1"), 0.1);
    EXPECT_EQ(ReadDouble("9007199254740993"), 9007199254740992.0);  // tie rounds to even
    EXPECT_TRUE(std::signbit(ReadDouble("-0")));
}

TEST(VectorText, DoublesOutOfRangeGiveInfinityOrZero)
{
    EXPECT_EQ(ReadDouble("1e400"), kInf);
    EXPECT_EQ(ReadDouble("-1e400"), -kInf);
    EXPECT_EQ(ReadDouble("1e-400"), 0.0);
    EXPECT_EQ(ReadDouble("4.9406564584124654e-324"), std::numeric_limits<double>::denorm_min());
}

TEST(VectorText, DoublesReadHexadecimalInfinityAndNaN)
{
    EXPECT_EQ(ReadDouble("0x1.8p1"), 3.0);
    EXPECT_EQ(ReadDouble("-0X.8"), -0.5);
    EXPECT_EQ(ReadDouble("0x10g"), 16.0);
    EXPECT_EQ(ReadDouble("0x"), 0.0);
    EXPECT_EQ(ReadDouble("0xg"), 0.0);
    EXPECT_EQ(ReadDouble("0x1p-1074"), std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(ReadDouble("0x1p1024"), kInf);
    EXPECT_EQ(ReadDouble("-0x1p99999999999"), -kInf);
    EXPECT_EQ(ReadDouble("0x0.0001p-1070"), 0.0);
    EXPECT_EQ(ReadDouble("0x1p-99999999999"), 0.0);
    EXPECT_EQ(ReadDouble(" -Infinity"), -kInf);
    EXPECT_EQ(ReadDouble("infinite"), kInf);
    EXPECT_TRUE(std::isnan(ReadDouble("nan(123)")));
    EXPECT_EQ(ReadDouble("--5"), 0.0);
    EXPECT_EQ(ReadDouble("-+inf"), 0.0);
}

TEST(VectorText, DoublesUseThePointWhateverTheGlobalLocale)
{
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    const char* commaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "de_DE", "fr_FR"};
    bool set = false;
    for (const char* name : commaLocales)
        if (!set && std::setlocale(LC_ALL, name)) set = std::localeconv()->decimal_point[0] == ',';
    if (!set) {
        std::setlocale(LC_ALL, saved.c_str());
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    }
    const std::vector<double> values = TVectorTools::StringToDouble({"1.5", "1,5"});
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(values, (std::vector<double>{1.5, 1.0}));
}

TEST(VectorSeriesTerms, RunsFromStartWhileNotPastEnd)
{
    EXPECT_EQ(TVectorTools::VectorSeries(1, 3, 1), (std::vector<double>{1, 2, 3}));
    EXPECT_TRUE(TVectorTools::VectorSeries(3, 1, 1).empty());
    EXPECT_EQ(TVectorTools::VectorSeries(0, 0, 1), (std::vector<double>{0}));
    EXPECT_EQ(TVectorTools::VectorSeries(0, 2.5, 1), (std::vector<double>{0, 1, 2}));
    EXPECT_TRUE(TVectorTools::VectorSeries(kNaN, 1, 1).empty());
    EXPECT_TRUE(TVectorTools::VectorSeries(0, kNaN, 1).empty());
}

TEST(VectorSeriesTerms, TermsAccumulateByRunningAddition)
{
    const std::vector<double> series = TVectorTools::VectorSeries(0, 1, 0.1);
    ASSERT_EQ(series.size(), 11u);
    EXPECT_EQ(series[3], 0.1 + 0.1 + 0.1);  // 0.30000000000000004, not 3 * 0.1
    EXPECT_EQ(series.back(), 0.9999999999999999);
}

TEST(VectorSeriesTerms, RefusesSeriesThatNeverEnd)
{
    const std::string step = "Step must be a positive number in TVectorTools::VectorSeries";
    EXPECT_EQ(ThrownMessage([] { TVectorTools::VectorSeries(0, 1, 0); }), step);
    EXPECT_EQ(ThrownMessage([] { TVectorTools::VectorSeries(0, 1, -1); }), step);
    EXPECT_EQ(ThrownMessage([] { TVectorTools::VectorSeries(0, 1, kNaN); }), step);
    EXPECT_EQ(ThrownMessage([] { TVectorTools::VectorSeries(3, 1, -1); }), step);
    const std::string endless = "Series does not end in TVectorTools::VectorSeries";
    EXPECT_EQ(ThrownMessage([] { TVectorTools::VectorSeries(1e20, 2e20, 1); }), endless);
    EXPECT_EQ(ThrownMessage([] { TVectorTools::VectorSeries(0, kInf, 1); }), endless);
    EXPECT_EQ(ThrownMessage([] { TVectorTools::VectorSeries(-kInf, 0, 1); }), endless);
}

TEST(VectorGradient, LeastSquaresSlope)
{
    EXPECT_EQ(TVectorTools::Gradient({0, 1, 2}, {1, 3, 5}), 2.0);
    EXPECT_EQ(TVectorTools::Gradient({0, 1, 2}, {4, 4, 4}), 0.0);
    EXPECT_EQ(TVectorTools::Gradient({0, 1, 2, 3}, {1, 6, 2, 3}), 0.2);
    EXPECT_EQ(TVectorTools::Gradient({0, 2}, {1, 3}), 1.0);
}

TEST(VectorGradient, DegenerateFitsAreNaNNotErrors)
{
    EXPECT_TRUE(std::isnan(TVectorTools::Gradient({2, 2}, {1, 3})));
    EXPECT_TRUE(std::isnan(TVectorTools::Gradient({5}, {7})));
    EXPECT_TRUE(std::isnan(TVectorTools::Gradient({}, {})));
    EXPECT_EQ(ThrownMessage([] { TVectorTools::Gradient({0, 1, 2}, {1, 2}); }), kProductLengths);
    EXPECT_EQ(ThrownMessage([] { TVectorTools::VectorProduct({1, 2}, {1}); }), kProductLengths);
}
