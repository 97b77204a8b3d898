#!/usr/bin/env bash
# Checks the package that "cpack -G DEB" made: its name, version, architecture, maintainer and
# home page, the library dependencies dpkg-shlibdeps computed, its files and its licence.
# Usage: CheckDebianPackage.sh DEB VERSION
set -euo pipefail
deb=$1
version=$2
fail() {
  echo "$deb: $*" >&2
  exit 1
}

[[ $(basename "$deb") == "slice2vol_${version}_amd64.deb" ]] || fail "unexpected file name"
[[ $(dpkg-deb -f "$deb" Package) == slice2vol ]] || fail "package name $(dpkg-deb -f "$deb" Package)"
[[ $(dpkg-deb -f "$deb" Version) == "$version" ]] || fail "version $(dpkg-deb -f "$deb" Version)"
[[ $(dpkg-deb -f "$deb" Architecture) == amd64 ]] || fail "architecture"
maintainer=$(dpkg-deb -f "$deb" Maintainer)
[[ $maintainer =~ ^[^\<]+\ \<[^@]+@[^@]+\>$ ]] || fail "maintainer without address: $maintainer"
[[ $(dpkg-deb -f "$deb" Homepage) == https://* ]] || fail "no home page"
depends=$(dpkg-deb -f "$deb" Depends)
# libinsighttoolkit5.2 on Debian 12, 5.4 on Debian 13.
[[ $depends =~ libinsighttoolkit5\.[0-9]+ ]] || fail "no dependency on ITK's runtime: $depends"
[[ $depends == *libc6* ]] || fail "no dependency on the C library: $depends"

files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)
expected=$'./usr/bin/slice2vol\n./usr/share/doc/slice2vol/copyright\n./usr/share/man/man1/slice2vol.1.gz'
[[ $files == "$expected" ]] || fail "files:"$'\n'"$files"

dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/slice2vol/copyright |
  grep -x 'License: Apache-2.0' > /dev/null || fail "copyright file does not name the licence"

# Compressed as Debian wants: gzip -9n, so with no name and no time stamp in its header.
page=$(mktemp)
trap 'rm -f "$page"' EXIT
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/man/man1/slice2vol.1.gz > "$page"
header=$(head -c 10 "$page" | od -An -tx1 | tr -d ' \n')
[[ $header == 1f8b0800000000000203 ]] || fail "man page gzip header $header"
