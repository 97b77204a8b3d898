#!/usr/bin/env bash
# Measures the tool against the plain ITK pipeline (ITK's stock Otsu filter, tile filter and ASCII
# writer) and against the job's limit, side by side, and prints each target with PASS or FAIL.
# Not part of the tests: timings depend on the machine and on what else it runs.
#
# The job's limit is what any run must do: a program that links the same image formats, reads
# the image, makes one pass over its pixels and ends, plus writing the volume's byte count into
# the page cache. Each round runs the tool, the plain pipeline and the limit one after the
# other; times are medians over the rounds (five, three for 4096 x 4096), after a warm-up
# round without the plain pipeline.
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

# Runs a command through "measure" and sets seconds and rss (its peak, in KiB); with --quiet
# first, drops what the command prints on standard error. Called on its own, never inside
# $(...), so that a failed run or measurement ends the script.
measure() {
  local output status
  if [[ $1 == --quiet ]]; then
    shift
    output=$($bench measure "$@" 2> /dev/null)
  else
    output=$($bench measure "$@")
  fi
  read -r seconds rss status <<< "$output"
  if [[ ${status:-1} -ne 0 ]]; then
    echo "bench: '$*' ended with status ${status:-unknown}" >&2
    exit 1
  fi
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
verdict() { if [[ $1 -eq 1 ]]; then echo PASS; else echo FAIL; fi; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }

echo "Machine: $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)," \
  "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), Linux $(uname -r)"
echo "Load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
echo

writers=$($bench writers 2048 2048 24 "$work")
rm -f "$work"/*.vtk

within=1
rssWithin=1
failures=""
plainAt() { awk -v key="$1" '$1 == key { print $2 }' "$work/plain.ratios"; }
: > "$work/plain.ratios"

echo "Median seconds; the tool's stages in its own process (read and check, threshold, volume)"
echo "and the rest (start-up and exit); peak RSS in MiB against its bound (input image, 4 slices,"
echo "200 bytes a layer, 40 MiB):"
echo
echo "| image | depth | slice2vol | its stages | start, exit | plain | limit | tool / limit | plain / tool | RSS | bound |"
echo "|---|---|---|---|---|---|---|---|---|---|---|"
cases="64:1 64:10 64:100 512:1 512:10 512:100 2048:1 2048:10 2048:24 2048:100
       4096:1 4096:10 4096:100"
for bits in 8 16; do
  for entry in $cases; do
    size=${entry%%:*}
    depth=${entry##*:}
    [[ $depth -eq 24 && $bits -eq 16 ]] && continue
    image="$work/image.png"
    $bench image "$image" "$size" "$size" "$bits"
    rounds=5
    [[ $size -ge 4096 ]] && rounds=3
    for name in tool plain limit stages; do : > "$work/$name.times"; done
    rss=0
    for ((round = 0; round <= rounds; round++)); do
      measure "$tool" --input2d "$image" --output "$work/t.vtk" -d "$depth"
      toolSeconds=$seconds toolRss=$rss
      bytes=$(stat -c %s "$work/t.vtk")
      rm -f "$work/t.vtk"
      if [[ $round -gt 0 ]]; then
        measure --quiet "$bench" plain "$image" "$work/p.vtk" "$depth"
        plainSeconds=$seconds
        rm -f "$work/p.vtk"
      fi
      measure "$bench" limit "$image"
      readSeconds=$seconds
      cacheSeconds=$($bench page-cache "$bytes" "$work/c.bin")
      rm -f "$work/c.bin"
      stages=$($bench stages "$image" "$work/s.vtk" "$depth")
      rm -f "$work/s.vtk"
      [[ $round -eq 0 ]] && continue
      echo "$toolSeconds" >> "$work/tool.times"
      echo "$plainSeconds" >> "$work/plain.times"
      awk -v a="$readSeconds" -v b="$cacheSeconds" 'BEGIN { print a + b }' >> "$work/limit.times"
      echo "$stages" | awk '{ print $1 + $2 + $3, $1, $2, $3 }' >> "$work/stages.times"
      [[ $toolRss -gt $rss ]] && rss=$toolRss
    done
    toolTime=$(median < "$work/tool.times")
    plainTime=$(median < "$work/plain.times")
    limit=$(median < "$work/limit.times")
    read -r stageSum readStage thresholdStage writeStage <<< "$(sort -g "$work/stages.times" |
      awk '{ v[NR] = $0 } END { print v[int((NR + 1) / 2)] }')"
    rest=$(awk -v t="$toolTime" -v s="$stageSum" 'BEGIN { printf "%.3f", t - s }')
    bound=$(((size * size * bits / 8 + 4 * size * size + 200 * depth + 40 * 1048576) / 1024))
    toLimit=$(ratio "$toolTime" "$limit")
    toPlain=$(ratio "$plainTime" "$toolTime")
    echo "$size:$depth:$bits $toPlain" >> "$work/plain.ratios"
    if awk -v r="$toLimit" 'BEGIN { exit !(r > 1.5) }'; then
      within=0
      failures="$failures ${size}x${size}x$depth/$bits-bit"
    fi
    [[ $rss -le $bound ]] || rssWithin=0
    [[ $size -eq 4096 && $depth -eq 100 ]] && eval "rss4096_$bits=$rss"
    printf "| %s x %s, %s-bit | %s | %.3f | %.3f %.3f %.3f | %s | %.3f | %.3f | %s | %s | %s | %s |\n" \
      "$size" "$size" "$bits" "$depth" "$toolTime" "$readStage" "$thresholdStage" "$writeStage" \
      "$rest" "$plainTime" "$limit" "$toLimit" "$toPlain" "$(mib "$rss")" "$(mib "$bound")"
  done
done
echo

# The tool's own work beyond start-up: the same 10 x 10 image at depth 1 and at depth 20,000.
$bench image "$work/small.png" 10 10 8
: > "$work/deep.times"
for round in 1 2 3 4 5; do
  measure "$tool" --input2d "$work/small.png" --output "$work/d.vtk" -d 1
  one=$seconds
  measure "$tool" --input2d "$work/small.png" --output "$work/d.vtk" -d 20000
  awk -v a="$seconds" -v b="$one" 'BEGIN { print a - b }' >> "$work/deep.times"
done
rm -f "$work/d.vtk"
deep=$(median < "$work/deep.times")

echo "Load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "Targets:"
echo
echo "- $(verdict "$([[ $writers == identical ]] && echo 1 || echo 0)") writer bytes identical to ITK's"
echo "- $(verdict "$within") within 1.5x of the job's limit at every size and depth${failures:+ (not:$failures)}"
large=$(plainAt 2048:24:8)
echo "- $(verdict "$(awk -v r="$large" 'BEGIN { print (r >= 20) }')") at least 20x faster than the plain pipeline at 2048 x 2048 x 24: ${large}x"
for bits in 8 16; do
  small=$(plainAt "512:10:$bits")
  echo "- $(verdict "$(awk -v r="$small" 'BEGIN { print (r >= 2) }')") at least 2x faster than the plain pipeline at 512 x 512 x 10, $bits-bit: ${small}x"
done
echo "- $(verdict "$rssWithin") peak RSS within its bound at every size and depth"
for bits in 8 16; do
  eval "rss=\$rss4096_$bits"
  echo "- $(verdict "$((rss < 400 * 1024))") 4096 x 4096 x 100, $bits-bit, in under 400 MiB: $(mib "$rss") MiB"
done
echo "- $(verdict "$(awk -v t="$deep" 'BEGIN { print (t < 0.2) }')") 20,000 layers of 10 x 10 in under 0.2 s beyond start-up: $deep s"
