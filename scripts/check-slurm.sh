#!/usr/bin/env bash
# Proves the README's Slurm recipe on this machine: installs Debian's Slurm and MUNGE packages
# when missing, starts munged, slurmctld and slurmd on the loopback address with a throw-away
# configuration in a scratch folder, submits the README's own convert-chunk.sh as a job array
# over a few hundred generated images and a few damaged ones, in chunks of 50, and checks that
# every good volume is byte for byte a single run's, that failed/ names exactly the damaged
# images, and that Slurm records exactly their tasks as failed. The daemons it started are
# stopped by their process ids, and the scratch folder is removed, also when interrupted.
# Needs root. Usage: scripts/check-slurm.sh [SLICE2VOL] (default: build/slice2vol)
set -euo pipefail

checkout=$(cd "$(dirname "$0")/.." && pwd)
tool=$(realpath -m "${1:-$checkout/build/slice2vol}")
if [[ ! -x $tool ]]; then
  echo "check-slurm.sh: no tool at $tool; build it first (scripts/demo.sh)" >&2
  exit 1
fi
if [[ $(id -u) -ne 0 ]]; then
  echo "check-slurm.sh needs root: it starts the Slurm and MUNGE daemons" >&2
  exit 1
fi
if ! command -v slurmctld > /dev/null || ! command -v slurmd > /dev/null ||
  ! command -v sbatch > /dev/null || ! command -v munged > /dev/null; then
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q slurmctld slurmd slurm-client munge
fi

work=$(mktemp -d)
pid_files=()
cleanup() {
  local pid_file pid
  for pid_file in "${pid_files[@]}"; do
    pid=$(cat "$pid_file" 2> /dev/null) || continue
    kill "$pid" 2> /dev/null || continue
    while kill -0 "$pid" 2> /dev/null; do sleep 0.1; done
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
fail() {
  echo "check-slurm.sh: $*" >&2
  exit 1
}

# MUNGE on a socket and with a key of its own.
head -c 1024 /dev/urandom > "$work/munge.key"
chmod 0400 "$work/munge.key"
pid_files+=("$work/munged.pid")
munged --force --socket="$work/munge.socket" --key-file="$work/munge.key" \
  --pid-file="$work/munged.pid" --log-file="$work/munged.log" --seed-file="$work/munged.seed"

node=$(uname -n)
node=${node%%.*}
mkdir "$work/state" "$work/spool"
cat > "$work/slurm.conf" << EOF
ClusterName=check
SlurmctldHost=$node(127.0.0.1)
SlurmctldPort=16817
SlurmdPort=16818
SlurmUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$work/munge.socket
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
MpiDefault=none
ReturnToService=2
NodeName=$node NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=check Nodes=$node Default=YES MaxTime=INFINITE State=UP
EOF
export SLURM_CONF=$work/slurm.conf
pid_files+=("$work/slurmctld.pid" "$work/slurmd.pid")
slurmctld
slurmd
for _ in $(seq 100); do
  [[ $(sinfo -h -o %t 2> /dev/null) == idle ]] && break
  sleep 0.3
done
[[ $(sinfo -h -o %t) == idle ]] || fail "the node is not idle: $(sinfo -h -o %t)"

# 300 noise images of 32 x 24 as MetaImage files, 3 of them damaged: cut, or not an image.
mkdir "$work/batch" "$work/reference" "$work/bin"
cd "$work/batch"
header=$'ObjectType = Image\nNDims = 2\nDimSize = 32 24\nElementType = MET_UCHAR\nElementDataFile = LOCAL\n'
for i in $(seq -w 300); do
  { printf '%s' "$header" && head -c 768 /dev/urandom; } > "image$i.mha"
done
head -c 500 image007.mha > cut.mha && mv cut.mha image007.mha
head -c 300 image150.mha > cut.mha && mv cut.mha image150.mha
echo "This is not an image." > image299.mha
damaged=$'images/image007.mha\nimages/image150.mha\nimages/image299.mha'
cd "$work"
mv batch images
for image in images/*.mha; do
  "$tool" --input2d "$image" --output "reference/$(basename "${image%.mha}").vtk" > /dev/null \
    2>&1 || true
done

# The README's script, run as it stands with the tool on the PATH.
sed -n '/^`convert-chunk.sh`:$/,/^```$/{/^```sh$/,/^```$/p}' "$checkout/README.md" |
  sed '1d;$d' > convert-chunk.sh
[[ -s convert-chunk.sh ]] || fail "no convert-chunk.sh in the README"
ln -s "$tool" bin/slice2vol
find images -name '*.mha' | sort > images.txt
tasks=$((($(wc -l < images.txt) - 1) / 50 + 1))
job=$(PATH=$work/bin:$PATH CHUNK=50 sbatch --parsable --wait --cpus-per-task=2 \
  --array=0-$((tasks - 1)) convert-chunk.sh images.txt) || true
job=${job%%;*}
[[ -n $job ]] || fail "sbatch gave no job"

for reference in reference/*.vtk; do
  cmp -s "$reference" "images/$(basename "$reference")" || fail "$reference differs"
done
[[ $(ls images/*.vtk | wc -l) -eq 297 ]] || fail "$(ls images/*.vtk | wc -l) volumes, not 297"
[[ $(cat failed/*.txt | sort) == "$damaged" ]] || fail "failed/ names $(cat failed/*.txt)"
# Slurm's own record of each task: the three with a damaged image failed with xargs' status.
states=$(scontrol -o show job "$job" | grep -oE 'JobState=[A-Z]+|ExitCode=[0-9:]+' |
  paste -d ' ' - - | sort | uniq -c | xargs)
[[ $states == "3 JobState=COMPLETED ExitCode=0:0 3 JobState=FAILED ExitCode=123:0" ]] ||
  fail "task states: $states"
echo "check-slurm.sh: $tasks tasks, 297 volumes as single runs give them, 3 damaged images named"
