#!/usr/bin/env bash
# The README and the changelog give the version that project() sets, which the package and the
# man page take from it. Usage: CheckVersion.sh VERSION README CHANGELOG
set -euo pipefail
version=$1
readme=$2
changelog=$3
status=0
package="slice2vol_${version}_amd64.deb"
if ! grep -qF "This README describes slice2vol $version;" "$readme" ||
  grep -oE 'slice2vol_[0-9.]+_amd64\.deb' "$readme" | grep -vqF "$package"; then
  echo "$readme does not give version $version throughout"
  status=1
fi
newest=$(grep -m1 -oE '^## [0-9.]+' "$changelog" | cut -c4-)
if [[ $newest != "$version" ]]; then
  echo "$changelog's newest release is '$newest', not $version"
  status=1
fi
exit $status
