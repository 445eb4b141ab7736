// GDAL as the peer of the lenient grid reader: grids that gdal_translate writes as AAIGrid from
// Float32, Float64, Int16 and Byte rasters, with and without no-data, with NaN, with square and
// non-square cells, plain and gzip-compressed, are read cell by cell as GDAL reads them. Every
// test is skipped where gdal_translate is not on PATH.

#include "files/TARCGISFileTools.h"
#include "files/TProjectionFiles.h"
#include "grid/TAxis.h"
#include "grid/TMap.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {


// Standard output of a command, "" with a failure noted when it fails.
std::string Output(const TScratchDir& dir, const std::string& command)
{
    const std::string out = dir.Path("command-output.txt");
    const int status = std::system((command + " > " + Quoted(out) + " 2> /dev/null").c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    return ReadText(out);
}

struct TType {
    const char* Name;
    int EnviCode;  // ENVI's data type number
    size_t Size;
};

// A raw raster with an ENVI header, the cells in the type's native little-endian form.
std::string WriteEnvi(const TScratchDir& dir, const TType& type, const std::vector<double>& cells, long columns,
                      double dx, double dy, const std::string& noData)
{
    std::string raw;
    for (double value : cells) {
        char bytes[8];
        if (type.EnviCode == 1) {
            bytes[0] = static_cast<char>(static_cast<unsigned char>(value));
        } else if (type.EnviCode == 2) {
            const int16_t v = static_cast<int16_t>(value);
            std::memcpy(bytes, &v, 2);
        } else if (type.EnviCode == 4) {
            const float v = static_cast<float>(value);
            std::memcpy(bytes, &v, 4);
        } else {
            std::memcpy(bytes, &value, 8);
        }
        raw.append(bytes, type.Size);
    }
    std::ostringstream header;
    header.precision(17);
    header << "ENVI\nsamples = " << columns << "\nlines = " << cells.size() / columns
           << "\nbands = 1\nheader offset = 0\nfile type = ENVI Standard\ndata type = " << type.EnviCode
           << "\ninterleave = bsq\nbyte order = 0\nmap info = {Arbitrary, 1, 1, 440720, 3751320, " << dx << ", " << dy
           << "}\n";
    if (noData != "none") header << "data ignore value = " << noData << "\n";
    dir.Write("source.hdr", header.str());
    return dir.Write("source.img", raw);
}

// The cells as GDAL reads them, north row first: its AAIGrid reader opened for doubles (it reads
// decimals as single precision by default), the values written out raw as doubles.
std::vector<double> GdalCells(const TScratchDir& dir, const std::string& name)
{
    const std::string raw = dir.Path("gdal-cells.img");
    Output(dir, "gdal_translate -q -oo DATATYPE=Float64 -ot Float64 -of ENVI " + Quoted(name) + " " + Quoted(raw));
    const std::string bytes = ReadText(raw);
    std::vector<double> cells(bytes.size() / sizeof(double));
    std::memcpy(cells.data(), bytes.data(), cells.size() * sizeof(double));
    return cells;
}

// The six numbers of gdalinfo -json's geoTransform.
std::vector<double> GdalGeoTransform(const std::string& json)
{
    std::vector<double> numbers;
    const size_t at = json.find("\"geoTransform\":");
    if (at == std::string::npos) return numbers;
    std::string list = json.substr(json.find('[', at) + 1);
    list = list.substr(0, list.find(']'));
    for (char& c : list)
        if (c == ',') c = ' ';
    std::istringstream in(list);
    double value;
    while (in >> value) numbers.push_back(value);
    return numbers;
}

// `"noDataValue":...` of gdalinfo -json, "" when the band has none.
std::string GdalNoData(const std::string& json)
{
    const std::string key = "\"noDataValue\":";
    const size_t at = json.find(key);
    if (at == std::string::npos) return "";
    const size_t begin = at + key.size();
    return json.substr(begin, json.find_first_of(",\n}", begin) - begin);
}

bool SameValue(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

// Each no-data choice the type allows, square cells and non-square ones (with dx and dy, and
// forced to cellsize), each plain and gzip-compressed; counts the grids compared.
void CompareWithGdal(const TType& type, int& compared)
{
    compared = 0;
    TScratchDir dir;
    const double nan = std::nan("");
    const bool isFloat = type.EnviCode >= 4;
    std::vector<double> cells;
    std::vector<std::string> noDatas = {"none"};
    if (isFloat) {
        cells = {0.1, -2.5, 1e-3, 123456.789, -9999, nan, 3.25e37, 7, -0.0, 1.0 / 3, 2e-30, 65504};
        noDatas.insert(noDatas.end(), {"-9999", "nan"});
    } else if (type.EnviCode == 2) {
        cells = {1, -2, 300, -9999, 0, 32767, -32768, 7, 8, 9, 10, 11};
        noDatas.push_back("-9999");
    } else {
        cells = {0, 1, 255, 128, 7, 9, 200, 42, 3, 4, 5, 6};
        noDatas.push_back("255");
    }
    struct TLayout {
        const char* Name;
        double Dy;
        const char* Options;
    };
    const TLayout layouts[] = {{"square", 30, ""}, {"dx/dy", 20, ""}, {"forced cellsize", 20, "-co FORCE_CELLSIZE=YES "}};
    TGridReadOptions lenient;
    lenient.Lenient = true;

    for (const std::string& noData : noDatas) {
        for (const TLayout& layout : layouts) {
            const std::string source = WriteEnvi(dir, type, cells, 4, 30, layout.Dy, noData);
            const std::string grid = dir.Path("grid.asc");
            Output(dir, "gdal_translate -q -of AAIGrid " + std::string(layout.Options) + Quoted(source) + " " + Quoted(grid));
            Output(dir, "gzip -n -k -f " + Quoted(grid));
            for (const std::string& name : {grid, grid + ".gz"}) {
                SCOPED_TRACE(std::string(type.Name) + ", no-data " + noData + ", " + layout.Name + ", " + name + "\n" +
                             ReadText(grid));
                if (layout.Dy != 30 && !*layout.Options) {
                    // GDAL writes dx and dy; a grid of square cells cannot hold them.
                    EXPECT_NE(ReadText(grid).find("\ndy "), std::string::npos);
                    EXPECT_EQ(ThrownMessage([&] { delete TARCGISFileTools::LoadARCGISFile(name, lenient); }),
                              "File format error: dx and dy differ; cells must be square");
                    continue;
                }
                std::unique_ptr<TMap> map;
                ASSERT_EQ(ThrownMessage([&] { map.reset(TARCGISFileTools::LoadARCGISFile(name, lenient)); }), "<no throw>");
                const std::string gdalName = name == grid ? name : "/vsigzip/" + name;
                const std::vector<double> gdalCells = GdalCells(dir, gdalName);
                ASSERT_EQ(gdalCells.size(), size_t(map->GetXDim() * map->GetYDim()));
                for (size_t k = 0; k < gdalCells.size(); ++k) {
                    const long x = static_cast<long>(k) % map->GetXDim(), y = static_cast<long>(k) / map->GetXDim();
                    EXPECT_TRUE(SameValue(gdalCells[k], map->GetPointVal(x, y)))
                        << k << ": GDAL " << gdalCells[k] << ", reader " << map->GetPointVal(x, y);
                }
                const std::string info = Output(dir, "gdalinfo -json " + Quoted(gdalName));
                EXPECT_EQ(GdalGeoTransform(info),
                          (std::vector<double>{map->GetXAxisInterval()->GetOrdinate(0, 'X'), map->GetResolution(), 0,
                                               map->GetYAxisInterval()->GetOrdinate(0, 'Y'), 0, -map->GetResolution()}));
                // Without a no-data entry GDAL has none; the format's default is -9999.
                const std::string gdalNoData = GdalNoData(info);
                if (gdalNoData.empty())
                    EXPECT_EQ(map->GetNoDataValue(), -9999);
                else if (gdalNoData == "\"NaN\"")
                    EXPECT_TRUE(std::isnan(map->GetNoDataValue()));
                else
                    EXPECT_EQ(map->GetNoDataValue(), std::stod(gdalNoData));
                ++compared;
            }
        }
    }
}

}  // namespace

// Four grids per no-data choice: square cells, and non-square ones forced to cellsize, each
// plain and compressed; GDAL's dx/dy grids are refused.
TEST(GdalLenientReader, Float32GridsReadAsGdalReadsThem)
{
    if (!HaveProgram("gdal_translate")) GTEST_SKIP() << "gdal_translate is not on PATH";
    int compared;
    CompareWithGdal({"Float32", 4, 4}, compared);
    EXPECT_EQ(compared, 4 * 3);
}

TEST(GdalLenientReader, Float64GridsReadAsGdalReadsThem)
{
    if (!HaveProgram("gdal_translate")) GTEST_SKIP() << "gdal_translate is not on PATH";
    int compared;
    CompareWithGdal({"Float64", 5, 8}, compared);
    EXPECT_EQ(compared, 4 * 3);
}

TEST(GdalLenientReader, Int16GridsReadAsGdalReadsThem)
{
    if (!HaveProgram("gdal_translate")) GTEST_SKIP() << "gdal_translate is not on PATH";
    int compared;
    CompareWithGdal({"Int16", 2, 2}, compared);
    EXPECT_EQ(compared, 4 * 2);
}

TEST(GdalLenientReader, ByteGridsReadAsGdalReadsThem)
{
    if (!HaveProgram("gdal_translate")) GTEST_SKIP() << "gdal_translate is not on PATH";
    int compared;
    CompareWithGdal({"Byte", 1, 1}, compared);
    EXPECT_EQ(compared, 4 * 2);
}

TEST(GdalLenientReader, ProjectionFileCopiedBesideAGridReadsAsTheSameSystem)
{
    if (!HaveProgram("gdal_translate")) GTEST_SKIP() << "gdal_translate is not on PATH";
    TScratchDir dir;
    const TType type{"Float32", 4, 4};
    const std::string source = WriteEnvi(dir, type, {1, 2, 3, 4}, 2, 30, 30, "none");
    const std::string input = dir.Path("input.asc");
    Output(dir, "gdal_translate -q -a_srs EPSG:32633 -of AAIGrid " + Quoted(source) + " " + Quoted(input));
    const std::string sidecar = TProjectionFiles::FindSidecar(input + ".gz");
    ASSERT_EQ(sidecar, dir.Path("input.prj"));

    TGridReadOptions lenient;
    lenient.Lenient = true;
    std::unique_ptr<TMap> map(TARCGISFileTools::LoadARCGISFile(input, lenient));
    const std::string output = dir.Path("mean.asc.gz");
    TARCGISFileTools::WriteARCGISFile(map.get(), output);
    TProjectionFiles::Copy(sidecar, TProjectionFiles::SidecarName(output));

    const std::string wkt = "\"wkt\":";
    const std::string in = Output(dir, "gdalinfo -json " + Quoted(input));
    const std::string out = Output(dir, "gdal_translate -q -of AAIGrid /vsigzip/" + output + " " + Quoted(dir.Path("mean.asc")) +
                                            " && gdalinfo -json " + Quoted(dir.Path("mean.asc")));
    ASSERT_NE(in.find("UTM zone 33N"), std::string::npos);
    EXPECT_EQ(out.substr(out.find(wkt), out.find("\"dataAxisToSRSAxisMapping\"") - out.find(wkt)),
              in.substr(in.find(wkt), in.find("\"dataAxisToSRSAxisMapping\"") - in.find(wkt)));
}

// The command under --lenient on grids GDAL wrote (each type, each no-data choice, square and
// forced cells, one input compressed): every cell of the mean agrees with the mean of the cells as
// GDAL reads them, to the six digits written, and the output's projection file reads back in
// gdalinfo as the inputs' coordinate system.
TEST(GdalLenientReader, CommandAveragesGdalGridsAsGdalReadsThem)
{
    if (!HaveProgram("gdal_translate")) GTEST_SKIP() << "gdal_translate is not on PATH";
    const std::vector<TType> types = {{"Float32", 4, 4}, {"Float64", 5, 8}, {"Int16", 2, 2}, {"Byte", 1, 1}};
    const double nan = std::nan("");
    int compared = 0;
    for (const TType& type : types) {
        TScratchDir dir;
        const bool isFloat = type.EnviCode >= 4;
        std::vector<std::string> noDatas = {"none", isFloat ? "-9999" : type.EnviCode == 2 ? "-9999" : "255"};
        if (isFloat) noDatas.push_back("nan");
        for (const std::string& noData : noDatas) {
            for (const char* options : {"", "-co FORCE_CELLSIZE=YES "}) {
                std::vector<std::string> inputs;
                std::vector<std::vector<double>> cells;
                for (int k = 0; k < 3; ++k) {
                    std::vector<double> values;
                    for (int i = 0; i < 12; ++i) {
                        double value = isFloat ? (i * 7 + k * 13) % 23 * 1.25 - 4.5 : (i * 7 + k * 13) % 23;
                        if (i == 5 + k && noData != "none") value = noData == "nan" ? nan : std::stod(noData);
                        values.push_back(value);
                    }
                    const std::string source = WriteEnvi(dir, type, values, 4, 30, *options ? 20 : 30, noData);
                    const std::string grid = dir.Path("in" + std::to_string(k) + ".asc");
                    Output(dir, "gdal_translate -q -a_srs EPSG:32633 -of AAIGrid " + std::string(options) + Quoted(source) +
                                    " " + Quoted(grid));
                    cells.push_back(GdalCells(dir, grid));
                    inputs.push_back(grid);
                }
                Output(dir, "gzip -n -f " + Quoted(inputs[1]));
                inputs[1] += ".gz";
                const std::string out = dir.Path("mean.asc");
                std::string command = Quoted(GRIDMEAN_EXECUTABLE) + " --lenient";
                for (const std::string& input : inputs) command += " " + Quoted(input);
                Output(dir, command + " " + Quoted(out));
                const std::vector<double> got = GdalCells(dir, out);
                const double gdalNoData = noData == "none" ? -9999 : noData == "nan" ? nan : std::stod(noData);
                SCOPED_TRACE(std::string(type.Name) + ", no-data " + noData + ", " + options);
                ASSERT_EQ(got.size(), cells[0].size());
                for (size_t i = 0; i < got.size(); ++i) {
                    double sum = 0;
                    bool missing = false;
                    for (const auto& input : cells) {
                        missing = missing || std::isnan(input[i]) || input[i] == gdalNoData;
                        sum += input[i];
                    }
                    if (missing) {
                        EXPECT_EQ(got[i], -9999) << i;
                    } else {
                        EXPECT_NEAR(got[i], sum / 3, 5e-6 * std::max(1.0, std::fabs(sum / 3))) << i;
                    }
                }
                const std::string wkt = "\"wkt\":";
                const std::string in = Output(dir, "gdalinfo -json " + Quoted(dir.Path("in0.asc")));
                const std::string mean = Output(dir, "gdalinfo -json " + Quoted(out));
                ASSERT_NE(mean.find("UTM zone 33N"), std::string::npos);
                EXPECT_EQ(mean.substr(mean.find(wkt), mean.find("\"dataAxisToSRSAxisMapping\"") - mean.find(wkt)),
                          in.substr(in.find(wkt), in.find("\"dataAxisToSRSAxisMapping\"") - in.find(wkt)));
                ++compared;
            }
        }
    }
    EXPECT_EQ(compared, 2 * (3 + 3 + 2 + 2));
}
