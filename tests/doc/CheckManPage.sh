#!/usr/bin/env bash
# The man page formats without one groff warning and names every option the built tool knows:
# those its usage text lists and those it asks for as required, in turn.
# Usage: CheckManPage.sh MAN_PAGE TOOL
set -euo pipefail
page=$1 tool=$2

warnings=$(groff -man -ww -z "$page" 2>&1)
[[ -z $warnings ]] || { echo "groff warns about $page:"$'\n'"$warnings"; exit 1; }

options=($("$tool" --help | grep -oE -- '(^| )--?[a-z0-9]+'))
arguments=(--depth 1)
required='s/^option \(--[a-z0-9]*\) is required$/\1/p'
while option=$("$tool" "${arguments[@]}" 2> /dev/null | sed -n "$required" || true) &&
  [[ -n $option && ${#arguments[@]} -lt 20 ]]; do
  options+=("$option")
  arguments+=("$option" /nonexistent/x)
done
[[ ${#arguments[@]} -gt 2 && ${#options[@]} -gt 2 ]] || { echo "$tool names no options"; exit 1; }

missing=0
for option in "${options[@]}"; do
  # groff source spells each dash \-; a short option must not be the start of a longer word.
  if ! grep -qE -- "$(sed 's/-/\\\\-/g' <<< "$option")([^a-z0-9]|$)" "$page"; then
    echo "$page does not name $option"
    missing=1
  fi
done
exit $missing
