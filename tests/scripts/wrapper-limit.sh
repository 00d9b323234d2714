#!/bin/sh
# A test that hangs under own-namespace.sh is stopped by the wrapper's own limit, children included, so
# a deadlock fails within ctest's limit instead of outliving it.
wrapper=${1:?usage: wrapper-limit.sh OWN_NAMESPACE_SH}
marker=$(mktemp "${TMPDIR:-/tmp}/qx-limit-XXXXXX") || exit 2
# The "test" starts a child that would outlive it, records the child's pid, and hangs.
QX_TEST_TIME_LIMIT=1 "$wrapper" sh -c "sleep 300 & echo \$! > $marker; sleep 300"
rc=$?
child=$(cat "$marker")
rm -f "$marker"
[ "$rc" -ne 0 ] || { echo "the hung test reported success"; exit 1; }
sleep 0.5
# A killed child may linger as a zombie until its new parent reaps it; only a live one counts.
state=$(ps -o stat= -p "$child" 2>/dev/null)
if [ -n "$state" ] && [ "${state#Z}" = "$state" ]; then
    echo "the hung test's child $child outlived the limit"
    kill "$child"
    exit 1
fi
echo "stopped with $rc, child gone"
