#!/usr/bin/env bash
# Installs what is missing, builds the tool with its tests and runs every test: the normal
# build, the whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer, and a
# bounded fuzzing run of the option parser and the argument converters.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh --with-tests

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DSLICE2VOL_BUILD_TESTS=ON
cmake --build build -j2
ctest --test-dir build --output-on-failure --no-tests=error -j2 --timeout 300

version=$(sed -n 's/^project(slice2vol VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
(cd build && cpack -G DEB > /dev/null)
tests/package/CheckDebianPackage.sh "build/slice2vol_${version}_amd64.deb" "$version"

# Built with GCC, the only compiler ITK's headers accept. A failed allocation must come back as
# a failure the tool reports, not as a sanitizer abort. Reports go to files, because the tool
# sends its standard error to /dev/null while the image libraries run; any report fails.
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSLICE2VOL_SANITIZE=ON \
  -DSLICE2VOL_BUILD_TESTS=ON
cmake --build build-sanitize -j2
reports=$(mktemp -d)
status=0
ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1:log_path=$reports/asan \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:log_path=$reports/ubsan \
  ctest --test-dir build-sanitize --output-on-failure --no-tests=error -j2 --timeout 600 ||
  status=$?
if compgen -G "$reports/*" > /dev/null; then
  cat "$reports"/*
  status=1
fi
rm -rf "$reports"
[ "$status" -eq 0 ] || exit "$status"

# libFuzzer comes with clang; the fuzzers need no ITK, so only they are built there.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSLICE2VOL_SANITIZE=ON -DSLICE2VOL_BUILD_TESTS=OFF -DSLICE2VOL_BUILD_FUZZERS=ON
cmake --build build-fuzz -j2 --target option_parser_fuzzer argument_converters_fuzzer
for fuzzer in option_parser argument_converters; do
  findings=$(mktemp -d)  # new inputs go here; the seeds in the repository stay as they are
  build-fuzz/tests/fuzz/${fuzzer}_fuzzer -max_total_time=30 -timeout=10 -print_final_stats=1 \
    "$findings" "tests/fuzz/corpus/${fuzzer}"
  rm -rf "$findings"
done
