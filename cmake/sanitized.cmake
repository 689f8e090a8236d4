# The initial cache of the sanitized builds made by hand (cmake -C):
# scripts/check-builds.sh sanitize and scripts/fuzz.sh's own folder. -O1, as
# the sanitizers and libFuzzer advise, with line tables for the reports'
# stack traces.
set(CMAKE_BUILD_TYPE None CACHE STRING "" FORCE)
set(CMAKE_CXX_FLAGS "-O1 -g1" CACHE STRING "" FORCE)
