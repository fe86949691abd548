#!/usr/bin/env bash
# Sets everything up, builds with warnings as errors and runs every test twice:
# a normal build and one under AddressSanitizer + UndefinedBehaviorSanitizer.
# A third, small build runs the threaded C interface test and vexo file
# with several files at once under ThreadSanitizer. Last, every fuzz target runs for VEXO_FUZZ_SECONDS (30 by
# default) and any crash, leak or timeout fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
jobs=$(nproc)

# Every option these builds depend on is stated, so that a cache left by
# another command (tools/demo.sh turns the tests off) cannot change them; a
# test run that finds no tests fails.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXO_WERROR=ON -DVEXO_SANITIZE=OFF \
  -DVEXO_TSAN=OFF -DVEXO_BUILD_TESTS=ON -DVEXO_BUILD_BENCH=ON -DVEXO_INSTALL=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure --no-tests=error -j "$jobs"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVEXO_WERROR=ON -DVEXO_SANITIZE=ON \
  -DVEXO_TSAN=OFF -DVEXO_BUILD_TESTS=ON -DVEXO_BUILD_BENCH=OFF -DVEXO_INSTALL=ON
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure --no-tests=error -j "$jobs"

# The C interface from many threads at once, and vexo file converting several
# files at once, under ThreadSanitizer.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DVEXO_WERROR=ON -DVEXO_TSAN=ON \
  -DVEXO_SANITIZE=OFF -DVEXO_BUILD_TESTS=ON -DVEXO_BUILD_BENCH=OFF
cmake --build build-tsan -j "$jobs" --target capi_thread_tests file_jobs_tests
TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/tools/tsan.supp" ctest --test-dir build-tsan --output-on-failure --no-tests=error \
  -R '^(CApiThreads|FileJobs)\.'

# Every fuzz target for a short while, built with clang, ASan and UBSan.
# A fixed seed keeps these short runs the same from one machine to the next;
# long runs with fresh seeds are for finding new faults.
VEXO_FUZZ_SEED=${VEXO_FUZZ_SEED:-1} bash tools/fuzz.sh "${VEXO_FUZZ_SECONDS:-30}"
