#!/usr/bin/env bash
# The man page formats without one groff warning and names every option the built tool knows:
# those its usage text lists and those it asks for as required.
# Usage: CheckManPage.sh MAN_PAGE TOOL
set -euo pipefail
page=$1
tool=$2

warnings=$(groff -man -ww -z "$page" 2>&1)
if [[ -n $warnings ]]; then
  echo "groff warns about $page:"
  echo "$warnings"
  exit 1
fi

listed=$("$tool" --help | grep -oE -- '(^| )--?[a-z0-9]+' | tr -d ' ')
# Each required option in turn: the tool names the first one missing.
arguments=(--depth 1)
required=()
while option=$("$tool" "${arguments[@]}" 2>/dev/null |
  sed -n 's/^option \(--[a-z0-9]*\) is required$/\1/p'); [[ -n $option ]]; do
  required+=("$option")
  arguments+=("$option" /nonexistent/x)
  [[ ${#required[@]} -lt 10 ]] || break
done
if [[ -z $listed || ${#required[@]} -eq 0 ]]; then
  echo "$tool lists no options in its usage text, or asks for none as required"
  exit 1
fi

missing=0
for option in $listed "${required[@]}"; do
  # groff source spells each dash \-; a short option must not be the start of a longer word.
  pattern=$(sed 's/-/\\\\-/g' <<< "$option")
  if ! grep -qE -- "${pattern}([^a-z0-9]|$)" "$page"; then
    echo "$page does not name $option"
    missing=1
  fi
done
exit $missing
