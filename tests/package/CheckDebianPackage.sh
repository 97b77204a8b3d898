#!/usr/bin/env bash
# Checks the package that "cpack -G DEB" made: its name, version, architecture, maintainer and
# home page, the library dependencies dpkg-shlibdeps computed, its files and its licence, and
# its man page compressed as Debian wants (gzip -9n: no name, no time stamp).
# Usage: CheckDebianPackage.sh DEB VERSION
set -euo pipefail
deb=$1 version=$2
fail() { echo "$deb: $*" >&2; exit 1; }
field() { dpkg-deb -f "$deb" "$1"; }
member() { dpkg-deb --fsys-tarfile "$deb" | tar -xO "$1"; }

[[ $(basename "$deb") == "slice2vol_${version}_amd64.deb" ]] || fail "unexpected file name"
[[ "$(field Package) $(field Version) $(field Architecture)" == "slice2vol $version amd64" ]] ||
  fail "package, version, architecture: $(field Package) $(field Version) $(field Architecture)"
[[ $(field Maintainer) =~ ^[^\<]+\ \<[^@]+@[^@]+\>$ ]] || fail "maintainer: $(field Maintainer)"
[[ $(field Homepage) == https://* ]] || fail "no home page"
# libinsighttoolkit5.2 on Debian 12, 5.4 on Debian 13.
[[ $(field Depends) =~ libinsighttoolkit5\.[0-9]+ && $(field Depends) == *libc6* ]] ||
  fail "dependencies: $(field Depends)"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort | tr '\n' ' ')
share=./usr/share
expected="./usr/bin/slice2vol $share/doc/slice2vol/copyright $share/man/man1/slice2vol.1.gz "
[[ $files == "$expected" ]] || fail "files: $files"
# Every reader in a pipe reads to the end: one that stopped early would end tar by SIGPIPE.
member $share/doc/slice2vol/copyright | grep -x 'License: Apache-2.0' > /dev/null || fail "licence"
header=$(member $share/man/man1/slice2vol.1.gz | od -An -tx1 | tr -d ' \n' | cut -c1-20)
[[ $header == 1f8b0800000000000203 ]] || fail "man page gzip header $header"
