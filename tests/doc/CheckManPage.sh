#!/usr/bin/env bash
# The man page formats without one groff warning and names every option the driver declares.
# Usage: CheckManPage.sh MAN_PAGE TOOL_DRIVER_SOURCE
set -euo pipefail
page=$1
driver=$2

warnings=$(groff -man -ww -z "$page" 2>&1)
if [[ -n $warnings ]]; then
  echo "groff warns about $page:"
  echo "$warnings"
  exit 1
fi

missing=0
# Declarations look like DeclareFlag("help", 'h') or DeclareValueOption("input2d").
while read -r name; do
  if ! grep -qF -- "\\-\\-$name" "$page"; then
    echo "$page does not name --$name"
    missing=1
  fi
done < <(grep -oE 'Declare(Flag|ValueOption)\("[^"]+"' "$driver" | sed -E 's/.*\("//; s/"$//')
while read -r character; do
  if ! grep -qE -- "\\\\-$character([^a-z0-9]|$)" "$page"; then
    echo "$page does not name -$character"
    missing=1
  fi
done < <(grep -oE "Declare(Flag|ValueOption)\(\"[^\"]+\", '.'" "$driver" | sed -E "s/.*'(.)'$/\1/")
if ! grep -qF -- "\\-\\-input3d" "$page"; then
  echo "$page does not say that --input3d, listed in the usage text, is not an option"
  missing=1
fi
exit $missing
