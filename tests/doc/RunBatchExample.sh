#!/usr/bin/env bash
# Runs the README's xargs example over a dozen images, one of them damaged: every good image
# gets its volume, the same as a run on its own gives, the damaged one is named and leaves
# nothing, and the batch's status is non-zero. Usage: RunBatchExample.sh README SLICE2VOL IMAGE
set -euo pipefail
readme=$1 tool=$(realpath "$2") image=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The fenced shell block that calls xargs.
awk '/^```sh$/ { block = ""; inside = 1; next }
     /^```$/ { if (inside && block ~ /xargs/) printf "%s", block; inside = 0; next }
     inside { block = block $0 "\n" }' "$readme" > "$work/example.sh"
[[ -s $work/example.sh ]] || { echo "no xargs example in $readme"; exit 1; }

mkdir "$work/images"
good=$(seq -f 'good%02g' 1 11)
for name in $good; do cp "$image" "$work/images/$name.png"; done
head -c 200 "$image" > "$work/images/damaged.png"
"$tool" --input2d "$image" --output "$work/reference.vtk" > /dev/null

status=0
(cd "$work" && PATH="$(dirname "$tool"):$PATH" sh example.sh 2> errors) || status=$?
failures=()
[[ $status -ne 0 ]] || failures+=("the batch ended with status 0")
grep -qF "failed: images/damaged.png" "$work/errors" || failures+=("the damaged image is unnamed")
for name in $good; do
  cmp -s "$work/reference.vtk" "$work/images/$name.vtk" || failures+=("$name.vtk is wrong")
done
expected=$( (for name in $good; do echo "$name.png" "$name.vtk"; done; echo damaged.png) |
  tr ' ' '\n' | sort)
[[ $(ls "$work/images" | sort) == "$expected" ]] || failures+=("images/: $(ls "$work/images")")
[[ ${#failures[@]} -eq 0 ]] || { printf '%s\n' "${failures[@]}"; exit 1; }
