#!/usr/bin/env bash
# Measures the encrypted volume against its plain root folder in one run: sequential
# write and read of a large file, 4 KiB reads, a few thousand small files, and extracting
# a source tree. Prints each figure for the mount and the plain folder, and mount/plain.
#
#   bench/volume-bench.sh [SIZE_MIB] [SMALL_FILES]     (defaults 512 and 3000)
# Uses build/release (built here when missing) unless TVLFSCTL names a tvlfsctl binary.
set -euo pipefail
cd "$(dirname "$0")/.."
size_mib=${1:-512}
small_files=${2:-3000}

tvlfsctl=${TVLFSCTL:-}
if [[ -z "$tvlfsctl" ]]; then
  ./tools/install-deps
  cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build/release --target tvlfsctl -j2 >/dev/null
  tvlfsctl=build/release/tools/tvlfsctl/tvlfsctl
fi

work=$(mktemp -d)
mount_pid=""
cleanup() {
  if [[ -n "$mount_pid" ]]; then kill -TERM "$mount_pid" 2>/dev/null || true; wait "$mount_pid" 2>/dev/null || true; fi
  mountpoint -q "$work/mnt" 2>/dev/null && fusermount3 -uz "$work/mnt"
  rm -rf "$work"
}
trap cleanup EXIT

"$tvlfsctl" keygen > "$work/keys"
"$tvlfsctl" mount --keys "$work/keys" "$work/root" "$work/mnt" > "$work/mount.log" 2>&1 &
mount_pid=$!
for _ in $(seq 1 100); do grep -q "^mounted:" "$work/mount.log" && break; sleep 0.1; done
grep -q "^mounted:" "$work/mount.log" || { cat "$work/mount.log"; exit 1; }
mkdir -p "$work/root/plain"
tar -C /usr/include -cf "$work/tree.tar" .
tree_files=$(tar -tf "$work/tree.tar" | wc -l)

seconds() { local start=$1; echo "$(date +%s.%N) - $start" | bc -l; }
drop_caches() { sync; echo 3 > /proc/sys/vm/drop_caches 2>/dev/null || true; }

# Runs one workload in a folder and prints the seconds it took.
workload() {
  local name=$1 dir=$2 start
  case "$name" in
    seq_write) drop_caches; start=$(date +%s.%N)
               dd if=/dev/zero of="$dir/big" bs=1M count="$size_mib" conv=fsync status=none ;;
    seq_read)  drop_caches; start=$(date +%s.%N)
               dd if="$dir/big" of=/dev/null bs=1M status=none ;;
    read_4k)   drop_caches; start=$(date +%s.%N)
               dd if="$dir/big" of=/dev/null bs=4k count=$((size_mib * 64)) status=none ;;
    small)     start=$(date +%s.%N)
               mkdir "$dir/small"
               for i in $(seq 1 "$small_files"); do echo "file $i" > "$dir/small/$i"; done
               cat "$dir"/small/* > /dev/null
               stat "$dir"/small/* > /dev/null
               rm -r "$dir/small" ;;
    untar)     start=$(date +%s.%N)
               mkdir "$dir/tree"; tar -C "$dir/tree" -xf "$work/tree.tar"; sync ;;
  esac
  seconds "$start"
}

printf "%-34s %10s %10s %8s\n" "workload" "mount" "plain" "ratio"
report() {
  local label=$1 unit=$2 amount=$3 mount=$4 plain=$5
  local m p
  m=$(echo "$amount / $mount" | bc -l); p=$(echo "$amount / $plain" | bc -l)
  printf "%-34s %10.1f %10.1f %8.2f   (%s)\n" "$label" "$m" "$p" "$(echo "$m / $p" | bc -l)" "$unit"
}
for name in seq_write seq_read read_4k small untar; do
  mount_time=$(workload "$name" "$work/mnt")
  plain_time=$(workload "$name" "$work/root/plain")
  case "$name" in
    seq_write) report "sequential write ${size_mib} MiB" "MiB/s" "$size_mib" "$mount_time" "$plain_time" ;;
    seq_read)  report "sequential read ${size_mib} MiB" "MiB/s" "$size_mib" "$mount_time" "$plain_time" ;;
    read_4k)   report "reads in 4 KiB requests" "MiB/s" "$size_mib" "$mount_time" "$plain_time" ;;
    small)     report "${small_files} small files create/read/stat/rm" "files/s" "$small_files" "$mount_time" "$plain_time" ;;
    untar)     report "extract /usr/include (${tree_files} entries)" "entries/s" "$tree_files" "$mount_time" "$plain_time" ;;
  esac
done
