#!/usr/bin/env bash
# Measures the tool against the plain ITK pipeline (ITK's stock tile filter and ASCII writer)
# on this machine and prints each target with PASS or FAIL. Not part of the tests: timings
# depend on the machine and on what else it runs. Times are medians of three runs, the tool's
# and the plain pipeline's alternating, after one warm-up round.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DSLICE2VOL_BUILD_TESTS=OFF \
  -DSLICE2VOL_BUILD_BENCH=ON > /dev/null
cmake --build build-bench -j2 > /dev/null
tool=build-bench/slice2vol
bench=build-bench/bench/slice2vol_bench

# In memory when /dev/shm has room, so that the disk's write-back does not time the runs.
work=$(mktemp -d -p /dev/shm 2> /dev/null || mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs a command through "measure" and prints its seconds and peak RSS; stops if it fails.
measured() {
  local seconds rss status
  read -r seconds rss status <<< "$($bench measure "$@")"
  if [[ $status -ne 0 ]]; then
    echo "bench: '$*' ended with status $status" >&2
    return 1
  fi
  echo "$seconds $rss"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
verdict() { awk -v ok="$1" 'BEGIN { print (ok ? "PASS" : "FAIL") }'; }
mib() { awk -v b="$1" 'BEGIN { printf "%.1f MiB", b / 1048576 }'; }

echo "Machine: $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)," \
  "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), Linux $(uname -r)"
echo

writers=$($bench writers 2048 2048 24 "$work")
rm -f "$work"/*.vtk
echo "Writer bytes against stock itk::VTKImageIO (ASCII, 2048 x 2048 x 24): $writers"
echo

# 2048 x 2048 x 24: the tool, the plain pipeline, and a plain write of the same byte count.
$bench image "$work/large.png" 2048 2048
: > "$work/tool.times"; : > "$work/plain.times"; : > "$work/before.times"; : > "$work/cache.times"
for round in 0 1 2 3; do
  result=$(measured "$tool" --input2d "$work/large.png" --output "$work/tool.vtk" -d 24)
  read -r toolSeconds toolRss <<< "$result"
  bytes=$(stat -c %s "$work/tool.vtk")
  rm -f "$work/tool.vtk"
  result=$(measured "$bench" plain "$work/large.png" "$work/plain.vtk" 24 2> "$work/plain.write")
  read -r plainSeconds _ <<< "$result"
  rm -f "$work/plain.vtk"
  cacheSeconds=$($bench page-cache "$bytes" "$work/cache.bin")
  rm -f "$work/cache.bin"
  [[ $round -eq 0 ]] && continue
  echo "$toolSeconds" >> "$work/tool.times"
  echo "$plainSeconds" >> "$work/plain.times"
  awk -v total="$plainSeconds" '{ print total - $1 }' "$work/plain.write" >> "$work/before.times"
  echo "$cacheSeconds" >> "$work/cache.times"
  echo "$toolRss" >> "$work/tool.rss"
done
toolTime=$(median < "$work/tool.times")
plainTime=$(median < "$work/plain.times")
before=$(median < "$work/before.times")
cache=$(median < "$work/cache.times")
toolRssKib=$(sort -g "$work/tool.rss" | tail -1)
limit=$(awk -v a="$before" -v b="$cache" 'BEGIN { print a + b }')
volumeBytes=$((2048 * 2048 * 24))
# The input is thresholded as 64-bit integers, 8 bytes a pixel, before the volume is made.
rssBound=$((volumeBytes + (8 + 2) * 2048 * 2048 + 64 * 1048576))

echo "2048 x 2048 x 24 ($bytes bytes of text), median seconds:"
echo
echo "| | seconds |"
echo "|---|---|"
echo "| slice2vol | $toolTime |"
echo "| plain ITK pipeline | $plainTime |"
echo "| plain pipeline before writing | $before |"
echo "| writing $bytes bytes into the page cache | $cache |"
echo "| job limit (the two above) | $limit |"
echo

echo "Depth scaling, 10 x 10 image:"
echo
echo "| depth | seconds | peak RSS |"
echo "|---|---|---|"
$bench image "$work/small.png" 10 10
for depth in 1000 5000 20000; do
  : > "$work/depth.times"
  for round in 1 2 3; do
    result=$(measured "$tool" --input2d "$work/small.png" --output "$work/depth.vtk" -d "$depth")
    read -r seconds rss <<< "$result"
    echo "$seconds" >> "$work/depth.times"
  done
  rm -f "$work/depth.vtk"
  seconds=$(median < "$work/depth.times")
  eval "depth$depth=$seconds rss$depth=$rss"
  echo "| $depth | $seconds | $(mib $((rss * 1024))) |"
done
echo

echo "Size scaling, depth 4:"
echo
echo "| image | seconds | peak RSS | volume | RSS bound |"
echo "|---|---|---|---|---|"
sizesWithin=1
for size in 256 512 1024 2048 4096; do
  $bench image "$work/square.png" "$size" "$size"
  result=$(measured "$tool" --input2d "$work/square.png" --output "$work/square.vtk" -d 4)
  read -r seconds rss <<< "$result"
  rm -f "$work/square.vtk"
  volume=$((size * size * 4))
  bound=$((volume + (8 + 2) * size * size + 64 * 1048576))
  [[ $((rss * 1024)) -le $bound ]] || sizesWithin=0
  echo "| $size x $size | $seconds | $(mib $((rss * 1024))) | $(mib $volume) | $(mib $bound) |"
done
echo

# Small runs are mostly start-up: loading ITK and the image format libraries, and any work the
# tool does before it reads the image.
echo "Small images, default depth (10), median of 9 runs:"
echo
echo "| image | seconds | peak RSS |"
echo "|---|---|---|"
for size in 1 256; do
  $bench image "$work/tiny.png" "$size" "$size"
  : > "$work/tiny.times"
  for round in 1 2 3 4 5 6 7 8 9; do
    read -r seconds rss <<< "$(measured "$tool" --input2d "$work/tiny.png" --output "$work/t.vtk")"
    echo "$seconds" >> "$work/tiny.times"
  done
  echo "| $size x $size | $(median < "$work/tiny.times") | $(mib $((rss * 1024))) |"
done
rm -f "$work/t.vtk"
echo

echo "Targets:"
echo
echo "- $(verdict "$([[ $writers == identical ]] && echo 1 || echo 0)") writer bytes identical to ITK's"
echo "- $(verdict "$(awk -v p="$plainTime" -v t="$toolTime" 'BEGIN { print (p >= 10 * t) }')") at least 10x faster than the plain pipeline: $(awk -v p="$plainTime" -v t="$toolTime" 'BEGIN { printf "%.1fx", p / t }')"
echo "- $(verdict "$(awk -v l="$limit" -v t="$toolTime" 'BEGIN { print (t <= 1.5 * l) }')") within 1.5x of the job limit: $(awk -v l="$limit" -v t="$toolTime" 'BEGIN { printf "%.2fx", t / l }')"
echo "- $(verdict "$((toolRssKib * 1024 <= rssBound))") peak RSS $(mib $((toolRssKib * 1024))) at most volume + 8-byte input + 2 slices + 64 MiB = $(mib $rssBound)"
echo "- $(verdict "$sizesWithin") peak RSS within that bound at every size above"
echo "- $(verdict "$(awk -v t="$depth20000" 'BEGIN { print (t < 2) }')") depth 20,000 in under 2 s: $depth20000 s"
echo "- $(verdict "$(awk -v a="$depth20000" -v b="$depth5000" 'BEGIN { print (a <= 6 * b) }')") time(20,000) / time(5,000) at most 6: $(awk -v a="$depth20000" -v b="$depth5000" 'BEGIN { printf "%.2f", a / b }')"
echo "- $(verdict "$((rss20000 * 1024 < 96 * 1048576))") depth 20,000 peak RSS under 96 MiB: $(mib $((rss20000 * 1024)))"
