#!/usr/bin/env python3
"""The peer a GIS user would reach for: GDAL reads each grid, numpy averages, GDAL writes an AAIGrid.
A cell lacking data in any input is -9999.   peer_gdal.py INPUT... OUTPUT"""
import sys

import numpy as np
from osgeo import gdal

gdal.UseExceptions()
# Read values as doubles: GDAL reads grids with decimals as 32-bit floats by default.
gdal.SetConfigOption("AAIGRID_DATATYPE", "Float64")


def main(paths, output):
    first = gdal.Open(paths[0])
    total = None
    missing = None
    for path in paths:
        dataset = gdal.Open(path)  # the band needs its dataset kept alive
        band = dataset.GetRasterBand(1)
        values = band.ReadAsArray().astype(np.float64)
        nodata = band.GetNoDataValue()
        lacking = values == nodata if nodata is not None else np.zeros(values.shape, bool)
        total = values if total is None else total + values
        missing = lacking if missing is None else (missing | lacking)
    mean = total / len(paths)
    mean[missing] = -9999.0
    memory = gdal.GetDriverByName("MEM").Create("", first.RasterXSize, first.RasterYSize, 1, gdal.GDT_Float64)
    memory.SetGeoTransform(first.GetGeoTransform())
    band = memory.GetRasterBand(1)
    band.SetNoDataValue(-9999.0)
    band.WriteArray(mean)
    gdal.GetDriverByName("AAIGrid").CreateCopy(output, memory, options=["SIGNIFICANT_DIGITS=6"])


if __name__ == "__main__":
    main(sys.argv[1:-1], sys.argv[-1])
