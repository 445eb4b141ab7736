#include "stats/TDistributions.h"

#include <cmath>
#include <limits>

namespace {

constexpr double kEpsilon = std::numeric_limits<double>::epsilon();
constexpr double kTwoOverPi = 0.636619772367581343075535053490057448;
constexpr double kRootHalf = 0.707106781186547524400844362104849039;
// log Gamma(1/2) = log sqrt(pi)
constexpr double kLogRootPi = 0.572364942924700087071713675676529356;

// log Gamma(x) less Stirling's approximation (x - 1/2) log x - x + log sqrt(2 pi), for x >= 10,
// where the series below is exact to the last bit (its next term is below 2e-18).
double StirlingRest(double x)
{
    const double r = 1 / x;
    const double r2 = r * r;
    return r * (1.0 / 12 +
                r2 * (-1.0 / 360 +
                      r2 * (1.0 / 1260 +
                            r2 * (-1.0 / 1680 +
                                  r2 * (1.0 / 1188 + r2 * (-691.0 / 360360 + r2 * (1.0 / 156 + r2 * (-3617.0 / 122400))))))));
}

// log Gamma(h + 1/2) - log Gamma(h) for h > 0, without the cancellation of two large log-gammas
// (log Gamma(500) is about 2600, so their difference would lose three digits): Stirling's form
// of the difference at h >= 10, reached from below by Gamma(h + 1) = h Gamma(h).
double LogGammaHalfStep(double h)
{
    double below = 0;
    for (; h < 10; h += 1) below += std::log1p(0.5 / h);
    return (h - 0.5) * std::log1p(0.5 / h) + 0.5 * std::log(h + 0.5) - 0.5 + StirlingRest(h + 0.5) -
        StirlingRest(h) - below;
}

// The continued fraction of the regularized incomplete beta function,
// I_x(a, b) = x^a (1 - x)^b / (a B(a, b)) * BetaFraction(a, b, x), with
// BetaFraction = 1 / (1 + d1 / (1 + d2 / (1 + ...))), d(2m) = m (b - m) x / ((a + 2m - 1)(a + 2m)),
// d(2m + 1) = -(a + m)(a + b + m) x / ((a + 2m)(a + 2m + 1)). It converges quickly for
// x < (a + 1) / (a + b + 2); the other side is taken through I_x(a, b) = 1 - I_{1-x}(b, a).
// `y` is 1 - x, computed by the caller without cancellation: the first denominator,
// 1 + d1 = 1 - (a + b) x / (a + 1), is written as (a y + 1 - b x) / (a + 1), since for a large a
// and x near 1 it would otherwise lose as many digits as a (1 - x) is small.
// The convergents A/B come from Wallis's recurrences, A(k) = A(k-1) + d(k-1) A(k-2) and B alike,
// scaled by 1/B once per pair of terms: multiplications where the modified Lentz method divides
// four times a pair. Every denominator B stays positive on the side each road takes (a sweep of
// freedoms from 1 to 4e6 over both sides found none that was not); were one not, the last
// convergent is kept.
double BetaFraction(double a, double b, double x, double y)
{
    const double sum = a + b;
    double before = 1;  // A and B two convergents back, then one back
    double beforeB = 1;
    double last = 1;
    double lastB = (a * y + 1 - b * x) / (a + 1);
    double fraction = last / lastB;
    for (int m = 1; m <= 100000; ++m) {
        const double twice = 2.0 * m;
        const double even = m * (b - m) * x / ((a - 1 + twice) * (a + twice));
        const double odd = -(a + m) * (sum + m) * x / ((a + twice) * (a + 1 + twice));
        const double evenA = last + even * before;
        const double evenB = lastB + even * beforeB;
        const double oddA = evenA + odd * last;
        const double oddB = evenB + odd * lastB;
        if (!(oddB > 0)) break;
        const double scale = 1 / oddB;
        before = evenA * scale;
        beforeB = evenB * scale;
        last = oddA * scale;
        lastB = 1;
        const bool converged = std::fabs(last - fraction) <= 2 * kEpsilon * std::fabs(last);
        fraction = last;
        if (converged) break;
    }
    return fraction;
}

// Whole degrees of freedom up to this many take the finite sums below where their p-value is at
// least kFiniteSumLeast.
constexpr double kFiniteSumFreedom = 64;
constexpr double kFiniteSumLeast = 0.02;
constexpr int kFiniteSumTerms = static_cast<int>(kFiniteSumFreedom) / 2;

// The coefficients of the sums below: (1 3 ... (2k - 1)) / (2 4 ... 2k) for even freedom,
// (2 4 ... 2k) / (3 5 ... (2k + 1)) for odd.
struct TCentreCoefficients {
    double Even[kFiniteSumTerms];
    double Odd[kFiniteSumTerms];
};

constexpr TCentreCoefficients MakeCentreCoefficients()
{
    TCentreCoefficients coefficients{};
    coefficients.Even[0] = coefficients.Odd[0] = 1;
    for (int k = 1; k < kFiniteSumTerms; ++k) {
        coefficients.Even[k] = coefficients.Even[k - 1] * (2.0 * k - 1) / (2.0 * k);
        coefficients.Odd[k] = coefficients.Odd[k - 1] * (2.0 * k) / (2.0 * k + 1);
    }
    return coefficients;
}

constexpr TCentreCoefficients kCentreCoefficients = MakeCentreCoefficients();

// 1 - A for Student's t with a whole number of degrees of freedom from 3 to kFiniteSumFreedom,
// where A = P(|T| < |t|) is a finite sum in x = cos^2(theta) and y = sin^2(theta), theta =
// atan(|t| / sqrt(freedom)) (Abramowitz and Stegun 26.7.3 and 26.7.4):
//   even freedom: A = sin(theta) (1 + 1/2 x + (1 3)/(2 4) x^2 + ... up to x^(freedom/2 - 1)),
//   odd freedom:  A = 2/pi (theta + sin(theta) cos(theta) (1 + 2/3 x + (2 4)/(3 5) x^2 + ...
//                 up to x^((freedom - 3)/2))).
// The terms, all positive, sum to within about freedom units of the last place, and 1 - A loses
// the digits of p's distance below 1: taken where p is at least kFiniteSumLeast, where it stays
// within 4e-14 of p (against 1e-14 above 0.08; the continued fraction's is 2e-14).
double StudentCentre(double a, double freedom, double x, double y)
{
    const int whole = static_cast<int>(freedom);
    const int terms = whole / 2;  // even: freedom/2 terms, odd: (freedom-1)/2
    const bool odd = whole % 2 != 0;
    const double* coefficients = odd ? kCentreCoefficients.Odd : kCentreCoefficients.Even;
    // The even and the odd powers in two chains, each stepping by x^2: half as many dependent
    // multiplications one after another.
    const double square = x * x;
    double evenPower = 1;
    double oddPower = x;
    double evenSum = 0;
    double oddSum = 0;
    int k = 0;
    for (; k + 1 < terms; k += 2) {
        evenSum += coefficients[k] * evenPower;
        oddSum += coefficients[k + 1] * oddPower;
        evenPower *= square;
        oddPower *= square;
    }
    if (k < terms) evenSum += coefficients[k] * evenPower;
    const double sum = evenSum + oddSum;
    if (!odd) return 1 - std::sqrt(y) * sum;
    const double theta = std::atan(a / std::sqrt(freedom));
    return 1 - kTwoOverPi * (theta + std::sqrt(x * y) * sum);
}

// I_x(h, 1/2) by its continued fraction, from x, y = 1 - x and their logarithms: in the tail
// (`tail`), or about the centre through 1 - I_y(1/2, h).
double StudentFraction(double h, double x, double y, double logX, double logY, bool tail)
{
    // log(x^h y^(1/2) / B(h, 1/2)), with log B(h, 1/2) = log Gamma(1/2) - (log Gamma(h + 1/2) - log Gamma(h)).
    // The cells of one stack mostly share their degrees of freedom: the last one's term is kept.
    thread_local double lastH = 0;
    thread_local double lastStep = 0;
    if (h != lastH) {
        lastStep = LogGammaHalfStep(h);
        lastH = h;
    }
    const double front = std::exp(h * logX + 0.5 * logY - kLogRootPi + lastStep);
    if (tail) return front * BetaFraction(h, 0.5, x, y) / h;
    // Small |t|: p is at least about 0.08 here, so the subtraction costs no digits.
    return 1 - front * BetaFraction(0.5, h, y, x) / 0.5;
}

}  // namespace

bool TDistributions::StudentTwoSided(double t, double freedom, double& p)
{
    if (std::isnan(t) || !(freedom > 0)) return false;
    const double a = std::fabs(t);
    if (std::isinf(a)) {
        p = 0;
        return true;
    }
    if (std::isinf(freedom)) return NormalTwoSided(t, p);
    if (freedom == 1) {
        // The Cauchy distribution: 1 - (2 / pi) atan |t|, through atan(1 / |t|) in the tail.
        p = a <= 1 ? 1 - std::atan(a) * kTwoOverPi : std::atan(1 / a) * kTwoOverPi;
        return true;
    }
    if (freedom == 2) {
        // 1 - |t| / s with s = sqrt(2 + t^2), in the tail without the cancellation: 2 / (s (s + |t|)).
        const double root = a < 1e150 ? std::sqrt(2 + a * a) : a;
        p = a <= 1 ? 1 - a / root : 2 / root / (root + a);
        return true;
    }
    // x = freedom / (freedom + t^2) and y = 1 - x through u = t^2 / freedom, each without
    // cancellation; where t^2 overflows, only log x is needed (x underflows, y is 1).
    const double h = freedom / 2;
    const double u = a < 1e150 ? a * a / freedom : std::numeric_limits<double>::infinity();
    double logX = 0;
    double logY = 0;
    double x = 0;
    double y = 1;
    // About the centre (see below), the continued fraction's other side.
    const double centre = (h + 1) / (h + 2.5);
    if (std::isfinite(u)) {
        x = 1 / (1 + u);
        y = u / (1 + u);
        if (freedom <= kFiniteSumFreedom && freedom == std::floor(freedom)) {
            // Cheap beside the continued fraction, so tried first wherever it may hold.
            p = StudentCentre(a, freedom, x, y);
            if (p >= kFiniteSumLeast) return true;
        }
        logX = -std::log1p(u);
        logY = std::log(y);
    } else {
        logX = std::log(freedom) - 2 * std::log(a);
        x = std::exp(logX);
    }
    p = StudentFraction(h, x, y, logX, logY, x < centre);
    return true;
}

bool TDistributions::NormalTwoSided(double z, double& p)
{
    if (std::isnan(z)) return false;
    p = std::erfc(std::fabs(z) * kRootHalf);
    return true;
}
