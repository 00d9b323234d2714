#!/bin/sh
# Runs one test with a private directory for the library's named synchronisation objects and registry
# hives and removes it afterwards, so parallel tests never share a mutex or a hive by accident.
#
# The test runs under its own time limit, below ctest's: when ctest's limit strikes it kills this shell
# only, and a hung test with its children would live on and hold the whole run. timeout(1) signals the
# test's whole process group, and kills it outright if TERM is not enough.
dir=$(mktemp -d "${TMPDIR:-/tmp}/qx-test-XXXXXX") || exit 1
chmod 700 "$dir"
QXPROPHANDLING_SYNC_DIR="$dir/ns"
QXPROPHANDLING_REGISTRY_DIR="$dir/registry"
export QXPROPHANDLING_SYNC_DIR QXPROPHANDLING_REGISTRY_DIR
limit=${QX_TEST_TIME_LIMIT:-110}
timeout --kill-after=5 "$limit" "$@"
rc=$?
[ $rc -eq 124 ] || [ $rc -eq 137 ] && echo "own-namespace.sh: test stopped after its limit of ${limit} s" >&2
rm -rf "$dir"
exit $rc
