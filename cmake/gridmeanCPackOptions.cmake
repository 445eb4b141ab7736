# Read by cpack for each generator it runs.
if(CPACK_GENERATOR STREQUAL "DEB")
  # Without dpkg-shlibdeps CPack would quietly make a package without Depends; without `file` it
  # cannot tell which installed files to pass to it.
  find_program(GRIDMEAN_DPKG_SHLIBDEPS dpkg-shlibdeps)
  find_program(GRIDMEAN_FILE file)
  if(NOT GRIDMEAN_DPKG_SHLIBDEPS OR NOT GRIDMEAN_FILE)
    message(FATAL_ERROR " The package's Depends are worked out by dpkg-shlibdeps and file: apt-get install dpkg-dev file")
  endif()
endif()
