// gengrid: writes a synthetic ESRI ASCII grid for benchmarks.
//   gengrid COLUMNS ROWS SEED OUTPUT [NODATA_PERCENT]
// Values have two decimals (a smooth field plus noise); about NODATA_PERCENT % of the cells
// (2 by default) hold -9999.

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: gengrid COLUMNS ROWS SEED OUTPUT [NODATA_PERCENT]\n");
        return 2;
    }
    const long columns = std::atol(argv[1]);
    const long rows = std::atol(argv[2]);
    std::mt19937_64 random(std::strtoull(argv[3], nullptr, 10));
    const double noDataShare = (argc > 5 ? std::atof(argv[5]) : 2.0) / 100.0;
    std::FILE* out = std::fopen(argv[4], "wb");
    if (!out) {
        std::perror(argv[4]);
        return 1;
    }
    std::fprintf(out, "ncols %ld\nnrows %ld\nxllcorner 440720.5\nyllcorner 3750120.25\ncellsize 30\nNODATA_value -9999\n",
                 columns, rows);
    std::uniform_real_distribution<double> unit(0, 1);
    std::uniform_int_distribution<int> noise(-500, 500);
    std::vector<char> line;
    for (long y = 0; y < rows; ++y) {
        line.clear();
        for (long x = 0; x < columns; ++x) {
            char text[32];
            char* end;
            if (unit(random) < noDataShare) {
                end = std::to_chars(text, text + sizeof text, -9999).ptr;
            } else {
                // Hundredths as an integer, written with a decimal point: exactly two decimals.
                const long hundredths = 100000 + (x * 37 + y * 53) % 90000 + noise(random);
                end = std::to_chars(text, text + sizeof text, hundredths / 100).ptr;
                *end++ = '.';
                *end++ = static_cast<char>('0' + hundredths % 100 / 10);
                *end++ = static_cast<char>('0' + hundredths % 10);
            }
            line.insert(line.end(), text, end);
            line.push_back(x + 1 < columns ? ' ' : '\n');
        }
        std::fwrite(line.data(), 1, line.size(), out);
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
