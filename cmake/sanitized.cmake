# The initial cache of the sanitized builds (cmake -C): the server build and
# the fuzz targets (scripts/check-builds.sh, scripts/fuzz.sh), one build the
# two can share. -O1, as the sanitizers and libFuzzer advise, with line
# tables for the reports' stack traces: quicker to build than -O2 -g.
set(CMAKE_BUILD_TYPE None CACHE STRING "" FORCE)
set(CMAKE_CXX_FLAGS "-O1 -g1" CACHE STRING "" FORCE)
