#include "stats/TDistributions.h"

#include "TCellReference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr double kMissing = -123456;
constexpr double kPi = 3.141592653589793;

double Student(double t, double freedom)
{
    double p = 0;
    return TDistributions::StudentTwoSided(t, freedom, p) ? p : kMissing;
}

double Normal(double z)
{
    double p = 0;
    return TDistributions::NormalTwoSided(z, p) ? p : kMissing;
}

// The |t| the tables run over: 0 to where the p-value of a thousand degrees of freedom underflows.
const std::vector<double>& Magnitudes()
{
    static const std::vector<double> magnitudes = {0, 1e-300, 1e-9, 0.01, 0.3, 0.9, 1, 1.2, 1.5, 1.7, 1.7303, 1.75, 2,
                                                   2.5, 3, 5, 8, 13, 20, 40, 100, 1e3, 1e5, 1e10, 1e50, 1e100, 1e149};
    return magnitudes;
}

}  // namespace

TEST(Distributions, ClosedFormsAndEdges)
{
    // One degree of freedom is Cauchy's, two have 1 - |t| / sqrt(2 + t^2): exact far into the
    // tail, where t^2 overflows.
    for (double t : {0.5, 1.0, 3.0, 1e10, 1e200, 1e300}) {
        EXPECT_NEAR(Student(t, 1), 2 / kPi * std::atan(1 / t), 4e-16 * (2 / kPi) * std::atan(1 / t)) << t;
        const double two = t < 1e150 ? 2 / (std::sqrt(2 + t * t) * (std::sqrt(2 + t * t) + t)) : 1 / t / t;
        EXPECT_NEAR(Student(t, 2), two, 4e-16 * two) << t;
    }
    EXPECT_DOUBLE_EQ(Student(1e200, 1), 2 / kPi * 1e-200);
    EXPECT_DOUBLE_EQ(Student(1e150, 2), 1e-300);
    // The general road far into the tail: p ~ c t^-freedom.
    EXPECT_GT(Student(1e100, 3), 0);
    EXPECT_NEAR(Student(1e100, 3) / Student(1e99, 3), 1e-3, 1e-15);
    EXPECT_EQ(Student(1e200, 3), 0);  // about 1e-600
    // Symmetric, 1 at 0, 0 at infinity; p below the least subnormal is 0.
    const double inf = std::numeric_limits<double>::infinity();
    for (double freedom : {1.0, 2.0, 7.0, 1000.0}) {
        EXPECT_EQ(Student(0, freedom), 1) << freedom;
        EXPECT_EQ(Student(-2.5, freedom), Student(2.5, freedom)) << freedom;
        EXPECT_EQ(Student(inf, freedom), 0) << freedom;
    }
    EXPECT_EQ(Student(1e3, 1000), 0);
    EXPECT_EQ(Student(3, inf), Normal(3));
    EXPECT_EQ(Normal(0), 1);
    EXPECT_EQ(Normal(-inf), 0);
    EXPECT_EQ(Normal(40), 0);
    EXPECT_GT(Normal(37), 0);  // about 5.7e-300
    // Missing: NaN, or no degrees of freedom.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(Student(nan, 3), kMissing);
    EXPECT_EQ(Student(1, 0), kMissing);
    EXPECT_EQ(Student(1, -2), kMissing);
    EXPECT_EQ(Student(1, nan), kMissing);
    EXPECT_EQ(Normal(nan), kMissing);
}

TEST(Distributions, FiniteSumsAboutTheCentreAgreeWithTheContinuedFraction)
{
    // Whole degrees of freedom take finite sums down to p = 0.02; a freedom one unit of the last
    // place above takes the continued fraction, whose p-value differs by less than 1e-13.
    for (double freedom = 3; freedom <= 66; ++freedom) {
        const double beside = std::nextafter(freedom, 100.0);
        for (double t = 0; t < 5; t += 0.0173) {
            const double whole = Student(t, freedom);
            const double fraction = Student(-t, beside);
            EXPECT_NEAR(whole, fraction, 1e-13 * fraction) << "t " << t << " freedom " << freedom;
        }
    }
}

TEST(Distributions, AgreeWithScipyTo1e12)
{
    if (!TCellReference::Available()) GTEST_SKIP() << "python3 with numpy and scipy is missing";
    const std::vector<double> freedoms = {1, 2, 3, 4, 5, 6, 7, 10, 30, 31, 63, 64, 65, 99, 100, 333, 1000};
    TCellReference reference;
    std::vector<std::pair<double, double>> cases;
    for (double freedom : freedoms) {
        for (double t : Magnitudes()) {
            cases.push_back({t, freedom});
            reference.Add("student", {{t, freedom}});
        }
    }
    const std::vector<double> zs = {0, 1e-9, 0.5, 0.99, 1, 1.5, 2, 3, 5, 8, 13, 20, 27, 30, 37};
    for (double z : zs) {
        cases.push_back({z, 0});
        reference.Add("normal", {{z}});
    }
    const std::vector<std::vector<double>> rows = reference.Run();
    ASSERT_EQ(rows.size(), cases.size());
    for (size_t c = 0; c < cases.size(); ++c) {
        const double expected = rows[c][0];
        // Below the normal doubles digits go, and scipy's own tail flushes to 0 early.
        if (expected < 1e-300) continue;
        const double got = cases[c].second > 0 ? Student(cases[c].first, cases[c].second) : Normal(cases[c].first);
        EXPECT_TRUE(Near(got, expected, 1e-12)) << "t " << cases[c].first << " freedom " << cases[c].second << ": " << got
                                                 << " scipy " << expected;
    }
}
