#!/usr/bin/env bash
# Proves the README's quick start and the Debian package on a fresh Debian system of the release
# given (bookworm, trixie, testing, ...): makes a minimal root file system with debootstrap in a
# scratch folder, from the archive this machine's apt sources name, clones this checkout's
# committed HEAD into it and runs scripts/demo.sh, then scripts/test.sh (which builds the package
# and runs lintian on it), there as root, exactly as the README gives them, then the package's
# autopkgtest, "autopkgtest . -- null", and scripts/check-slurm.sh, the README's Slurm recipe on a
# one-machine cluster. The scratch folder is removed at the end, and
# also when the script is interrupted: its mounts exist only in a private mount namespace, and
# its processes run in a PID namespace that ends with the script. Needs root and Debian's
# archive; it downloads about 800 packages (4 GB) and takes 10 to 40 minutes.
# Usage: scripts/check-debian.sh SUITE
set -euo pipefail

if [[ $# -ne 1 ]]; then
  echo "usage: scripts/check-debian.sh SUITE   (bookworm, trixie, testing, ...)" >&2
  exit 1
fi
suite=$1
checkout=$(cd "$(dirname "$0")/.." && pwd)
if [[ $(id -u) -ne 0 ]]; then
  echo "check-debian.sh needs root: debootstrap, chroot and mounts" >&2
  exit 1
fi
if ! command -v debootstrap > /dev/null || ! command -v pkill > /dev/null; then
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q debootstrap procps
fi

# The Debian archive and its security archive, as this machine's apt sources name them.
archive() {
  apt-get indextargets --format '$(LABEL) $(REPO_URI)' | awk -v label="$1" '$1 == label {
    print $2
    exit
  }'
}
archive=$(archive Debian)
security=$(archive Debian-Security)
if [[ -z $archive ]]; then
  echo "check-debian.sh: no Debian archive in this machine's apt sources" >&2
  exit 1
fi

# Runs inside the namespaces; each mount it makes vanishes with them.
inside=$(
  cat << 'EOF'
set -euo pipefail
suite=$1 root=$2/root checkout=$3 archive=$4 security=$5
# Every release since bookworm uses the same debootstrap script, so newer names work too.
debootstrap --variant=minbase "$suite" "$root" "$archive" /usr/share/debootstrap/scripts/sid
if [[ $suite != sid && $suite != unstable ]]; then # as an installed system has them
  echo "deb $archive $suite-updates main" >> "$root/etc/apt/sources.list"
  if [[ -n $security ]]; then
    echo "deb $security $suite-security main" >> "$root/etc/apt/sources.list"
  fi
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
git clone -q "$checkout" "$root/root/slice2vol"
mount -t proc proc "$root/proc"
mount --rbind /sys "$root/sys"
mount --rbind /dev "$root/dev"
chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 \
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  bash -c 'cd /root/slice2vol && scripts/demo.sh && scripts/test.sh &&
           DEBIAN_FRONTEND=noninteractive apt-get install -y -q autopkgtest &&
           autopkgtest . -- null && scripts/check-slurm.sh &&
           dpkg-query -W -f="\${Version}" libinsighttoolkit5-dev > /root/itk-version'
itk=$(cat "$root/root/itk-version")
echo "check-debian.sh: $suite, ITK $itk:" \
  "scripts/demo.sh, scripts/test.sh, the autopkgtest and scripts/check-slurm.sh passed"
EOF
)

scratch=$(mktemp -d "${TMPDIR:-/var/tmp}/slice2vol-$suite-XXXXXX")
child=
cleanup() {
  # Killing the namespace's first process makes the kernel end every other one in it; unshare
  # returns once they are all gone, so nothing writes into the folder while it is removed.
  if [[ -n $child ]]; then
    pkill -KILL -P "$child" || true
    wait "$child" 2> /dev/null || true
  fi
  rm -rf --one-file-system "$scratch"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# In the background, so that a signal reaches the traps at once. --kill-child ends the namespace
# if unshare itself is killed.
unshare --mount --propagation private --pid --fork --kill-child \
  bash -c "$inside" bash "$suite" "$scratch" "$checkout" "$archive" "$security" < /dev/null &
child=$!
status=0
wait "$child" || status=$?
child=
exit "$status"
