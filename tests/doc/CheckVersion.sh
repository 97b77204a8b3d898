#!/usr/bin/env bash
# The README, the changelog and the Debian package's changelog give the version that project()
# sets, which the man page takes from it. Usage: CheckVersion.sh VERSION SOURCE_FOLDER
set -euo pipefail
version=$1 readme=$2/README.md changelog=$2/CHANGELOG.md
if ! grep -qF "This README describes slice2vol $version;" "$readme" ||
  grep -oE 'slice2vol_[0-9.]+_amd64\.deb' "$readme" | grep -vqF "slice2vol_${version}_amd64"; then
  echo "$readme does not give version $version throughout"
  exit 1
fi
newest=$(grep -m1 -oE '^## [0-9.]+' "$changelog" | cut -c4-)
[[ $newest == "$version" ]] || { echo "$changelog's newest release is $newest"; exit 1; }
package=$(sed -n -E '1s/^slice2vol \(([^)]+)\) .*/\1/p' "$2/debian/changelog")
[[ $package == "$version" ]] || { echo "debian/changelog's newest version is $package"; exit 1; }
