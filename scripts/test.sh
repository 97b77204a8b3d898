#!/usr/bin/env bash
# Installs what is missing, builds the tool with its tests and runs every test: the normal
# build, the whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer, the
# package, and a bounded fuzzing run of the option parser. Ends with one line, "N passed, N
# failed", over all of them, and a non-zero status if any failed.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh --with-tests

passed=0
failed=0
# Runs ctest in a build folder and adds its counts; a run that ends without them is a failure.
run_ctest() {
  local folder=$1 log counts
  shift
  log=$(mktemp)
  ctest --test-dir "$folder" --output-on-failure --no-tests=error -j2 "$@" | tee "$log" || true
  counts=$(sed -n -E 's/^[0-9]+% tests passed, ([0-9]+) tests? failed out of ([0-9]+)$/\1 \2/p' \
    "$log")
  rm -f "$log"
  if [[ -z $counts ]]; then
    failed=$((failed + 1))
  else
    read -r bad total <<< "$counts"
    passed=$((passed + total - bad))
    failed=$((failed + bad))
  fi
}
# Runs one check and counts it.
run_check() {
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
}

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DSLICE2VOL_BUILD_TESTS=ON
cmake --build build -j2
run_ctest build --timeout 300

# Builds the Debian package with Debian's own tooling in a copy of the tree (the tests ran above,
# so the package's build leaves them out) and asks lintian about it: no tag may remain.
check_package() {
  local work tags
  work=$(mktemp -d)
  mkdir "$work/slice2vol"
  tar -c --exclude-vcs --exclude='./build*' --exclude='./obj-*' . | tar -x -C "$work/slice2vol"
  if ! (cd "$work/slice2vol" && DEB_BUILD_OPTIONS="nocheck parallel=2" \
    dpkg-buildpackage -us -uc -b > "$work/build.log" 2>&1); then
    tail -n 40 "$work/build.log"
    rm -rf "$work"
    return 1
  fi
  tags=$(lintian --pedantic --display-info "$work"/*.changes "$work"/*.deb 2> /dev/null)
  rm -rf "$work"
  [[ -z $tags ]] || { echo "lintian: $tags"; return 1; }
}
run_check check_package

# Built with GCC, the only compiler ITK's headers accept. A failed allocation must come back as
# a failure the tool reports, not as a sanitizer abort. Reports go to files, because the tool
# sends its standard error to /dev/null while the image libraries run; any report fails.
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSLICE2VOL_SANITIZE=ON \
  -DSLICE2VOL_BUILD_TESTS=ON
cmake --build build-sanitize -j2
reports=$(mktemp -d)
ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1:log_path=$reports/asan \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:log_path=$reports/ubsan \
  run_ctest build-sanitize --timeout 600
if compgen -G "$reports/*" > /dev/null; then
  cat "$reports"/*
  echo "sanitizer reports: $(ls "$reports")"
  failed=$((failed + 1))
fi
rm -rf "$reports"

# libFuzzer comes with clang; the fuzzers need no ITK, so only they are built there.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSLICE2VOL_SANITIZE=ON -DSLICE2VOL_BUILD_TESTS=OFF -DSLICE2VOL_BUILD_FUZZERS=ON
cmake --build build-fuzz -j2 --target option_parser_fuzzer
findings=$(mktemp -d)  # new inputs go here; the seeds in the repository stay as they are
run_check build-fuzz/tests/fuzz/option_parser_fuzzer -max_total_time=30 -timeout=10 \
  -print_final_stats=1 "$findings" tests/fuzz/corpus
rm -rf "$findings"

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
