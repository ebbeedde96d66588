#!/usr/bin/env bash
# tvlfsctl end to end: round trips of many sizes, header info, and refusals that write nothing.
set -euo pipefail
tvlfsctl=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

"$tvlfsctl" keygen > keys
grep -Eq '^user-key: [A-Za-z0-9+/]{64}$' keys
grep -Eq '^share-key-id: [0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$' keys
echo "owner-id: 42" >> keys

for size in 0 1 15 16 511 512 513 1000 4096 1048583; do
  head -c "$size" /dev/urandom > "plain$size"
  "$tvlfsctl" encrypt --keys keys "plain$size" "stored$size"
  "$tvlfsctl" decrypt --keys keys "stored$size" "back$size"
  cmp "plain$size" "back$size"
  expected=$(( size == 0 ? 0 : size + 512 ))
  [[ $(stat -c %s "stored$size") -eq $expected ]] || { echo "stored size of $size is wrong"; exit 1; }
done

"$tvlfsctl" info --keys keys stored1000 > info
grep -qx 'version: 20140128' info
grep -qx 'user-id: 00000000-0000-0000-0000-000000000042' info
grep -qx "share-key-id: $(sed -n 's/^share-key-id: //p' keys)" info
grep -qx 'decipherable: yes' info

# Refusals: a stored file that exists, a plain file, a file for other keys.
! "$tvlfsctl" encrypt --keys keys plain1 stored1 2>/dev/null
! "$tvlfsctl" decrypt --keys keys plain1000 out 2> err
grep -q 'plain1000: not an encrypted file' err
[[ ! -e out ]]
"$tvlfsctl" keygen > other
! "$tvlfsctl" decrypt --keys other stored1000 out 2> err
grep -q 'stored1000: no key in other opens this file' err
[[ ! -e out ]]
"$tvlfsctl" info --keys other stored1000 | grep -qx 'decipherable: no'
echo "user-key: not base64!" > broken
! "$tvlfsctl" decrypt --keys broken stored1 out 2> err
grep -q 'broken' err
echo ok
