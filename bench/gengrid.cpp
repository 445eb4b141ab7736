// gengrid: writes a synthetic ESRI ASCII grid for benchmarks.
//   gengrid [--float32] COLUMNS ROWS SEED OUTPUT [NODATA_PERCENT]
// Values have two decimals (a smooth field plus noise); about NODATA_PERCENT % of the cells
// (2 by default) hold -9999. With --float32 the same values are written as GDAL writes a Float32
// grid, printf("%.20g") of the float nearest to each (58.93 as 58.93000030517578125).

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const bool float32 = argc > 1 && std::strcmp(argv[1], "--float32") == 0;
    if (float32) {
        --argc;
        ++argv;
    }
    if (argc < 5) {
        std::fprintf(stderr, "usage: gengrid [--float32] COLUMNS ROWS SEED OUTPUT [NODATA_PERCENT]\n");
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
                const long hundredths = 100000 + (x * 37 + y * 53) % 90000 + noise(random);
                if (float32) {
                    const float single = static_cast<float>(static_cast<double>(hundredths) / 100);
                    end = text + std::snprintf(text, sizeof text, "%.20g", static_cast<double>(single));
                } else {
                    // Hundredths as an integer, written with a decimal point: exactly two decimals.
                    end = std::to_chars(text, text + sizeof text, hundredths / 100).ptr;
                    *end++ = '.';
                    *end++ = static_cast<char>('0' + hundredths % 100 / 10);
                    *end++ = static_cast<char>('0' + hundredths % 10);
                }
            }
            line.insert(line.end(), text, end);
            line.push_back(x + 1 < columns ? ' ' : '\n');
        }
        std::fwrite(line.data(), 1, line.size(), out);
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
