# Initial cache for the fuzzing build: `cmake -C fuzz/config.cmake -S . -B build-fuzz`.
# Everything is compiled by clang with coverage for libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer; the fuzz programs alone link the libFuzzer driver. The tests are
# left out: the fuzz programs and the shipped dictionaries are all this build makes.
find_program(VELUMARK_FUZZ_CXX NAMES clang++-14 clang++ REQUIRED)
set(CMAKE_CXX_COMPILER "${VELUMARK_FUZZ_CXX}" CACHE FILEPATH "")
set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "")
set(CMAKE_CXX_FLAGS
    "-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
    CACHE STRING "")
set(CMAKE_EXE_LINKER_FLAGS "-fsanitize=address,undefined" CACHE STRING "")
set(VELUMARK_TESTS OFF CACHE BOOL "")
set(VELUMARK_SANITIZE OFF CACHE BOOL "")
set(VELUMARK_FUZZ ON CACHE BOOL "")
