# The library's public API: the headers installed under include/gridmean/, each in its folder.
# Everything else in src/ is internal and stays in the build. scripts/check-layers reads this list.
set(GRIDMEAN_PUBLIC_HEADERS
  src/grid/TPoint.h
  src/grid/TAxis.h
  src/grid/TAxisTools.h
  src/grid/TMap.h
  src/grid/TNoData.h
  src/files/TARCGISFileTools.h
  src/files/TGridHeader.h
  src/files/TGridReadOptions.h
  src/files/TProjectionFiles.h
  src/ops/TMapTools.h
  src/support/TPointTools.h
  src/support/TVectorTools.h
  src/support/TStringTools.h
  src/stats/TStackStatistic.h
  src/stack/TGridStack.h
  src/stack/TGridFileAverager.h
)
