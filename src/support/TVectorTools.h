#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Stateless operations on sequences of numbers. Every argument is taken by value, so no
// operation changes the caller's sequence; failures are thrown as message texts.
class TVectorTools {
public:
    TVectorTools() = delete;

    // The sum of the elements in index order, from 0.0.
    static double SumVector(std::vector<double> VecValues);
    // SumVector / the number of elements; NaN for an empty sequence.
    static double VectorMean(std::vector<double> VecValues);
    // The sum of VecValues[i] * VecWeights[i] divided by the number of elements (not by the sum of the
    // weights); NaN for two empty sequences. Throws "Length of value and weight vectors do not
    // match in TVectorTools::WeightedMean".
    static double VectorWeightedMean(std::vector<double> VecValues, std::vector<double> VecWeights);
    // True if an element equals the value exactly; NaN is never found.
    static bool HasValue(std::vector<double> VecValues, double DblValue);
    static bool HasValue(std::vector<int> VecValues, int IntValue);

    // Each text read as atoi reads it (white space, sign, digits up to the first other
    // character, 0 without digits); a number beyond the range of int gives INT_MAX or INT_MIN.
    static std::vector<int> StringToInt(std::vector<std::string> VecTexts);
    // Each text read as atof reads it in the "C" locale, whatever the global locale: the longest
    // decimal, hexadecimal, infinity or NaN prefix after white space; 0.0 without one; a value
    // too large gives an infinity.
    static std::vector<double> StringToDouble(std::vector<std::string> VecTexts);
    // Each integer as a double.
    static std::vector<double> IntToDouble(std::vector<int> VecValues);

    // DblStart, DblStart + DblStep, ... (each term the previous one plus the step) while the term
    // is <= DblEnd; empty when DblStart > DblEnd or either is NaN. Throws "Step must be a positive number in
    // TVectorTools::VectorSeries", and "Series does not end in TVectorTools::VectorSeries" for
    // an infinite end or a step too small to change the term.
    static std::vector<double> VectorSeries(double DblStart, double DblEnd, double DblStep);
    // The element-wise products. Throws "Length of vectors does not match in
    // TVectorTools::VectorProduct".
    static std::vector<double> VectorProduct(std::vector<double> VecA, std::vector<double> VecB);
    // The least-squares slope of VecY against VecX, (n Sxy - Sx Sy) / (n Sxx - Sx Sx), unguarded: NaN or
    // an infinity for fewer than two points or equal abscissae. Throws the VectorProduct message
    // when the lengths differ.
    static double Gradient(std::vector<double> VecX, std::vector<double> VecY);
    // Gradient of the first SizCount pairs of two arrays, with the same arithmetic, for callers
    // that fit many short series and cannot afford to build vectors for each.
    static double Slope(const double* PtrX, const double* PtrY, size_t SizCount);
};
