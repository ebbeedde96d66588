#!/usr/bin/env bash
# tvlfsctl mount and export-shek end to end: a file written through the mount is stored
# encrypted and decrypts with the key file; a second user's mount reads it only with the
# first user's share key; SIGTERM and SIGINT leave no mount behind.
set -euo pipefail
tvlfsctl=$1
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  for mnt in "$work"/mnt*; do mountpoint -q "$mnt" 2>/dev/null && fusermount3 -uz "$mnt"; done
  rm -rf "$work"
}
trap cleanup EXIT

# Starts a mount in the background and waits for its "mounted:" line.
start_mount() {
  local keys=$1 mnt=$2 log=$3; shift 3
  "$tvlfsctl" mount --keys "$keys" "$@" "$work/root" "$mnt" > "$log" 2> "$log.err" &
  pids+=($!)
  for _ in $(seq 1 100); do grep -q "^mounted: $mnt$" "$log" && return 0; sleep 0.1; done
  echo "mount did not come up"; cat "$log.err"; return 1
}
stop_mount() {
  local signal=$1 mnt=$2 pid=${pids[-1]}
  kill "-$signal" "$pid"; wait "$pid"
  unset 'pids[-1]'
  ! mountpoint -q "$mnt"
}

"$tvlfsctl" keygen > "$work/k1"
"$tvlfsctl" keygen > "$work/k2"
start_mount "$work/k1" "$work/mnt1" "$work/log1"
head -c 5000 /dev/urandom > "$work/plain"
cp "$work/plain" "$work/mnt1/f"
cmp "$work/plain" "$work/mnt1/f"
test "$(stat -c %s "$work/root/f")" = 5512
test "$(head -c 160 "$work/root/f" | tail -c 32)" = 141ABEC8043A411086E9E50F46D5D24B
"$tvlfsctl" decrypt --keys "$work/k1" "$work/root/f" "$work/out"
cmp "$work/plain" "$work/out"
stop_mount TERM "$work/mnt1"

"$tvlfsctl" export-shek --keys "$work/k1" > "$work/shek1"
test "$(wc -w < "$work/shek1")" = 2
start_mount "$work/k2" "$work/mnt2" "$work/log2"
cmp "$work/root/f" "$work/mnt2/f"
stop_mount INT "$work/mnt2"
start_mount "$work/k2" "$work/mnt3" "$work/log3" --shek-file "$work/shek1"
cmp "$work/plain" "$work/mnt3/f"
fusermount3 -u "$work/mnt3"
for _ in $(seq 1 100); do mountpoint -q "$work/mnt3" && break; sleep 0.1; done
cmp "$work/plain" "$work/mnt3/f"
stop_mount TERM "$work/mnt3"
echo "tvlfsctl mount: ok"
