#!/usr/bin/env bash
# Runs the README's xargs example over a dozen images, one of them damaged: every good image
# gets its volume, the same as a run on its own gives, the damaged one is named and leaves
# nothing, and the batch's status is non-zero. Usage: RunBatchExample.sh README SLICE2VOL IMAGE
set -euo pipefail
readme=$1
tool=$2
image=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The fenced shell block that calls xargs.
awk '/^```sh$/ { block = ""; inside = 1; next }
     /^```$/ { if (inside && block ~ /xargs/) printf "%s", block; inside = 0; next }
     inside { block = block $0 "\n" }' "$readme" > "$work/example.sh"
[[ -s $work/example.sh ]] || { echo "no xargs example in $readme"; exit 1; }

mkdir "$work/images"
for i in $(seq -w 1 11); do cp "$image" "$work/images/good$i.png"; done
head -c 200 "$image" > "$work/images/damaged.png"
"$tool" --input2d "$image" --output "$work/reference.vtk" > /dev/null

status=0
(cd "$work" && PATH="$(dirname "$tool"):$PATH" sh example.sh 2> errors) || status=$?
failures=0
fail() {
  echo "$*"
  failures=1
}
[[ $status -ne 0 ]] || fail "the batch ended with status 0"
grep -qF "failed: images/damaged.png" "$work/errors" || fail "the damaged image is not named"
for i in $(seq -w 1 11); do
  cmp -s "$work/reference.vtk" "$work/images/good$i.vtk" || fail "good$i.vtk is missing or wrong"
done
expected=$( (for i in $(seq -w 1 11); do echo "good$i.png" "good$i.vtk"; done; echo damaged.png) |
  tr ' ' '\n' | sort)
[[ $(ls "$work/images" | sort) == "$expected" ]] || fail "images/ holds:" $(ls "$work/images")
exit $failures
