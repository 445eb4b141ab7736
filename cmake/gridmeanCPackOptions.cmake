# Read by cpack for each generator it runs.
if(CPACK_GENERATOR STREQUAL "DEB")
  find_program(GRIDMEAN_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(NOT GRIDMEAN_DPKG_SHLIBDEPS)
    message(FATAL_ERROR " dpkg-shlibdeps not found (it computes the package's Depends): apt-get install dpkg-dev")
  endif()
endif()
