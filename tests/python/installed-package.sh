#!/bin/sh
# Installs the build into a scratch prefix and uses the Python package from there alone: a clean
# environment whose PYTHONPATH is the installed site folder, run from an empty folder, so neither the build
# tree nor the source tree can stand in for a file the install left out. Arguments: build directory,
# interpreter, site folder relative to the prefix.
set -eu
build=$1
python=$2
site_rel=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/qx-pyinstall-XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
case $site_rel in
/*) site=$site_rel ;;
*) site=$prefix/$site_rel ;;
esac
# The package's files, the stubs and the marker that announces them included.
for file in qxprop/__init__.py qxprop/__init__.pyi qxprop/py.typed; do
    test -f "$site/$file" || { echo "not installed: $site/$file" >&2; exit 1; }
done
mkdir "$work/empty" "$work/home"
cd "$work/empty"
env -i PATH=/usr/bin:/bin HOME="$work/home" PYTHONPATH="$site" PYTHONDONTWRITEBYTECODE=1 \
    QXPROPHANDLING_SYNC_DIR="${QXPROPHANDLING_SYNC_DIR:-$work/ns}" QXTELVAR_DATA_DIR="$work/data" \
    "$python" - "$prefix" <<'PY'
import os
import sys

import _qxprop
import qxprop

prefix = os.path.realpath(sys.argv[1])
for module in (qxprop, _qxprop):
    where = os.path.realpath(module.__file__)
    assert where.startswith(prefix + os.sep), f"{module.__name__} imported from {where}, not from {prefix}"
# The library the extension loaded is the installed one (found through the extension's run path).
with open("/proc/self/maps") as maps:
    libraries = {line.split()[-1] for line in maps if "libqxPropHandling.so" in line}
assert libraries and all(os.path.realpath(p).startswith(prefix + os.sep) for p in libraries), libraries
with qxprop.List("installed") as cam:
    cam.add_property("gain", qxprop.DOUBLE, 1.0, limits=(0.0, 24.0, 0.5))
    cam["gain"] = 3.5
    assert cam["gain"].value == 3.5, cam["gain"].value
print("installed package imports from", prefix, "and sets and gets a value")
PY
