#!/usr/bin/env bash
# Builds everything with clang, AddressSanitizer and UndefinedBehaviorSanitizer
# in build-asan and runs every test program, and every fuzz target (linked with
# libFuzzer) over its seed corpus. Any sanitizer report fails the test that
# caused it.
set -euo pipefail
cd "$(dirname "$0")/.."
# Every core by default; VANTREL_JOBS=n builds and tests with n jobs.
jobs="${VANTREL_JOBS:-$(nproc)}"
# clang, so that the same build also links every fuzz target with libFuzzer:
# CI proves they build, and their seed replays run with the suite.
CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVANTREL_SANITIZE=ON -DVANTREL_FUZZ=ON
cmake --build build-asan --parallel "$jobs"

# UBSan stops at its first report (the build also says so); leaks are reported
# at exit and fail the program.
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=0:strict_init_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
cd build-asan
bash ../scripts/run-suite.sh "$jobs"
