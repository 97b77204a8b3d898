#!/usr/bin/env bash
# The README and the changelog give the version that project() sets, which the package and the
# man page take from it. Usage: CheckVersion.sh VERSION README CHANGELOG
set -euo pipefail
version=$1 readme=$2 changelog=$3
if ! grep -qF "This README describes slice2vol $version;" "$readme" ||
  grep -oE 'slice2vol_[0-9.]+_amd64\.deb' "$readme" | grep -vqF "slice2vol_${version}_amd64"; then
  echo "$readme does not give version $version throughout"
  exit 1
fi
newest=$(grep -m1 -oE '^## [0-9.]+' "$changelog" | cut -c4-)
[[ $newest == "$version" ]] || { echo "$changelog's newest release is $newest"; exit 1; }
