#!/bin/sh
# Runs the camera-driver example twice against one private registry hive: the first run changes features
# from its command line and saves; the second, without arguments, must start from exactly what the first
# ended with (its "start:" line equals the first run's "end:" line), and that must differ from the
# defaults the first run started from, or the comparison would prove nothing.
set -eu
driver=$1
dir=$(mktemp -d "${TMPDIR:-/tmp}/qx-camera-XXXXXX")
trap 'rm -rf "$dir"' EXIT
chmod 700 "$dir"
QXPROPHANDLING_SYNC_DIR="$dir/ns"
QXPROPHANDLING_REGISTRY_DIR="$dir/registry"
QXTELVAR_DATA_DIR="$dir/data"
export QXPROPHANDLING_SYNC_DIR QXPROPHANDLING_REGISTRY_DIR QXTELVAR_DATA_DIR

"$driver" --exposure 2504 --gain 6.5 --mode SoftwareTrigger --buffers 1 16 >"$dir/first.out"
"$driver" >"$dir/second.out"
cat "$dir/first.out" "$dir/second.out"

line() { sed -n "s/^camera-driver: $1: //p" "$2"; }
first_start=$(line start "$dir/first.out")
first_end=$(line end "$dir/first.out")
second_start=$(line start "$dir/second.out")
fail=0
grep -q "^camera-driver: no saved settings" "$dir/first.out" || { echo "FAIL: the first run found settings"; fail=1; }
grep -q "^camera-driver: loaded the user's settings" "$dir/second.out" || { echo "FAIL: the second run loaded nothing"; fail=1; }
# 2504 snaps to the step of 10; the gain and mode go through their formats and dictionary.
expected="exposure=2500 gain=6.5 mode=SoftwareTrigger stream0.bufferCount=4 stream1.bufferCount=16"
[ "$first_end" = "$expected" ] || { echo "FAIL: first run ended with '$first_end', expected '$expected'"; fail=1; }
[ "$first_start" != "$first_end" ] || { echo "FAIL: the first run changed nothing"; fail=1; }
[ "$second_start" = "$first_end" ] || { echo "FAIL: second run started with '$second_start', the first ended with '$first_end'"; fail=1; }
# The serial number is read-only: the refusal is reported with the library's code name, in both runs.
[ "$(grep -c 'refused serialNumber: PROPHANDLING_NO_WRITE_RIGHTS' "$dir/first.out" "$dir/second.out" | grep -c ':1$')" = 2 ] ||
  { echo "FAIL: the refused write of the serial number was not reported"; fail=1; }
[ $fail = 0 ] && echo "camera-driver twice: 1 passed, 0 failed" || echo "camera-driver twice: 0 passed, 1 failed"
exit $fail
