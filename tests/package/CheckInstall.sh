#!/usr/bin/env bash
# "cmake --install" with a prefix puts the tool, its man page and its copyright file there, and
# nothing else. Usage: CheckInstall.sh BUILD_FOLDER
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$1" --prefix "$prefix" > /dev/null
installed=$(cd "$prefix" && find . -type f | sort)
expected=$'./bin/slice2vol\n./share/doc/slice2vol/copyright\n./share/man/man1/slice2vol.1.gz'
[[ $installed == "$expected" ]] || { echo "installed:"$'\n'"$installed"; exit 1; }
"$prefix/bin/slice2vol" --help > /dev/null
gzip -t "$prefix/share/man/man1/slice2vol.1.gz"
