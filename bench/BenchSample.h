#pragma once

// The sample grid of the benchmark programs: 2000 x 2000 values of two decimals, one in fifty
// cells -9999, drawn from a fixed seed so that every run measures the same text.

#include <cstdio>
#include <random>
#include <string>

// Writes the sample to `path`: values from lowestHundredths / 100 up, under the given header lines
// for the lower-left corner (xllcorner and yllcorner).
inline void WriteSampleGrid(const std::string& path, int lowestHundredths, const char* corner)
{
    std::FILE* out = std::fopen(path.c_str(), "wb");
    std::fprintf(out, "ncols 2000\nnrows 2000\n%s\ncellsize 30\nNODATA_value -9999\n", corner);
    std::mt19937 random(1);
    std::uniform_int_distribution<int> hundredths(lowestHundredths, lowestHundredths + 99999);
    for (int y = 0; y < 2000; ++y) {
        for (int x = 0; x < 2000; ++x) {
            const int v = hundredths(random);
            if (v % 50 == 0) std::fprintf(out, "-9999 ");
            else std::fprintf(out, "%d.%02d ", v / 100, v % 100);
        }
        std::fputc('\n', out);
    }
    std::fclose(out);
}
