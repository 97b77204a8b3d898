#!/usr/bin/env bash
# Installs the Debian packages that are missing, for building (default) or also for testing
# ("--with-tests": GoogleTest, clang with its runtime for the fuzzer, VTK's Python module and
# tiffsplit for the README's recipes and pictures, groff for the man page, dpkg-dev, debhelper and
# lintian for the package). Called by demo.sh and test.sh; safe to run again. libgdcm-tools holds the programs
# that Debian's GDCM package files, which ITK loads, name: without them every configure warns
# about each.
set -euo pipefail

packages=(cmake make g++ libinsighttoolkit5-dev libtiff-dev zlib1g-dev libgdcm-tools)
if [[ "${1:-}" == "--with-tests" ]]; then
  packages+=(libgtest-dev clang libclang-rt-dev python3-vtk9 libtiff-tools groff-base dpkg-dev
    debhelper lintian)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Install them first: sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
apt-get update -q
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
