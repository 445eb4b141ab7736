#include "files/TGridWriter.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace {

TGridHeader Header(long columns, long rows, double noData)
{
    TGridHeader header;
    header.Columns = columns;
    header.Rows = rows;
    header.XllCorner = 500000;
    header.YllCorner = 4100000.25;
    header.CellSize = 30;
    header.NoData = noData;
    return header;
}

}  // namespace

TEST(GridFormatWriter, NamesEndingInGzAreCompressed)
{
    const std::vector<std::pair<std::string, bool>> cases = {
        {"mean.asc.gz", true}, {"mean.gz", true},   {".gz", true},     {"dir.gz/mean.gz", true},
        {"mean.asc", false},   {"mean.GZ", false},  {"mean.gz.asc", false}, {"gz", false}, {"", false},
    };
    for (const auto& test : cases) EXPECT_EQ(TGridWriter::Compresses(test.first), test.second) << test.first;
}

TEST(GridFormatWriter, CellsFormattedApartAreTheRowsTheWriterWrites)
{
    // For every precision, cells formatted in runs that end anywhere (as the stack engine formats
    // them, side by side) give the very text of the rows written whole, missing cells being the
    // no-data value.
    std::mt19937 random(11);
    std::uniform_real_distribution<double> value(-1e6, 1e6);
    std::uniform_int_distribution<int> pick(0, 9);
    const long columns = 7;
    const long rows = 5;
    for (int digits = 1; digits <= 17; ++digits) {
        for (double noData : {-9999.0, 500000.01, -3.4e38}) {
            std::vector<double> cells(static_cast<size_t>(columns * rows));
            std::vector<unsigned char> missing(cells.size());
            for (size_t c = 0; c < cells.size(); ++c) {
                missing[c] = pick(random) == 0;
                cells[c] = pick(random) == 1 ? std::ldexp(value(random), -40) : value(random);
            }
            TGridNumbers numbers;
            numbers.Digits = digits;
            std::ostringstream whole;
            TGridWriter byRows(whole, numbers);
            byRows.WriteHeader(Header(columns, rows, noData));
            for (long y = 0; y < rows; ++y) {
                std::vector<double> row(cells.begin() + y * columns, cells.begin() + (y + 1) * columns);
                for (long x = 0; x < columns; ++x)
                    if (missing[static_cast<size_t>(y * columns + x)]) row[static_cast<size_t>(x)] = noData;
                byRows.WriteRow(row.data(), row.size());
            }
            byRows.Commit();

            std::ostringstream apart;
            TGridWriter byRuns(apart, numbers);
            byRuns.SetNoData(noData);
            std::vector<char> text;
            std::string body;
            uint64_t column = 0;
            for (size_t start = 0; start < cells.size();) {
                const size_t count = std::min(cells.size() - start, static_cast<size_t>(1 + pick(random)));
                text.resize(count * byRuns.CellRoom() + TGridWriter::kFormatScratch);
                const char* end = byRuns.FormatCells(text.data(), cells.data() + start, missing.data() + start, count,
                                                     column, static_cast<uint64_t>(columns));
                body.append(text.data(), static_cast<size_t>(end - text.data()));
                start += count;
            }
            byRuns.WriteHeader(Header(columns, rows, noData));
            byRuns.WriteText(body.data(), body.size());
            byRuns.Commit();
            EXPECT_EQ(apart.str(), whole.str()) << digits << " digits, no-data " << noData;
        }
    }
}

TEST(GridFormatWriter, NoDataAsTheCellsAreOrExactly)
{
    // The map writers write the no-data value as the cells are; the stack engine exactly.
    for (bool exact : {false, true}) {
        TGridNumbers numbers;
        numbers.ExactNoData = exact;
        std::ostringstream out;
        TGridWriter writer(out, numbers);
        writer.WriteHeader(Header(1, 1, 500000.01));
        const unsigned char missing = 1;
        const double cell = 0;
        char text[64 + TGridWriter::kFormatScratch];
        uint64_t column = 0;
        const char* end = writer.FormatCells(text, &cell, &missing, 1, column, 1);
        writer.WriteText(text, static_cast<size_t>(end - text));
        writer.Commit();
        const std::string shown = exact ? "500000.01" : "500000";
        EXPECT_EQ(out.str(), "ncols 1\nnrows 1\nxllcorner   500000\nyllcorner 4100000.25\ncellsize 30\nNODATA_value " +
                                 shown + "\n" + shown + " \n");
    }
}

TEST(GridFormatWriter, AnAbandonedWriterWritesNothingMore)
{
    std::ostringstream out;
    {
        TGridWriter writer(out, TGridNumbers());
        writer.WriteHeader(Header(2, 1, -9999));
        const double row[] = {1, 2};
        writer.WriteRow(row, 2);
    }
    EXPECT_EQ(out.str(), "");
}
