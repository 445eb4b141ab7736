#pragma once

// Two-sided p-values of the test statistics of the cell rules, written out here (no special
// function library) so that every build, the Windows one included, computes the same numbers.
// Accurate to about 1e-13 relative wherever the p-value is a normal double; a p-value below the
// least normal double (2.2e-308) comes out subnormal, with fewer digits, and one below the least
// subnormal (4.9e-324) as 0.
class TDistributions {
public:
    TDistributions() = delete;

    // P(|T| >= |t|) for Student's t with `freedom` degrees of freedom (any real freedom > 0):
    // I_x(freedom / 2, 1 / 2) at x = freedom / (freedom + t^2), the regularized incomplete beta
    // function evaluated by its continued fraction. 0 for an infinite t. False where t is NaN
    // or freedom is not above 0.
    static bool StudentTwoSided(double t, double freedom, double& p);
    // P(|Z| >= |z|) for the standard normal distribution: erfc(|z| / sqrt 2). 0 for an infinite z.
    // False where z is NaN.
    static bool NormalTwoSided(double z, double& p);
};
