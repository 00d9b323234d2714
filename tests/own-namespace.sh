#!/bin/sh
# Runs one test with a private directory for the library's named synchronisation objects and removes it
# afterwards, so parallel tests never share a mutex by accident.
dir=$(mktemp -d "${TMPDIR:-/tmp}/qx-test-XXXXXX") || exit 1
chmod 700 "$dir"
QXPROPHANDLING_SYNC_DIR="$dir/ns"
export QXPROPHANDLING_SYNC_DIR
"$@"
rc=$?
rm -rf "$dir"
exit $rc
