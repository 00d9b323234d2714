#!/bin/sh
# Installs the build into a scratch prefix and builds the tutorial's C and C++ programs against it the two
# ways the tutorial shows (find_package, pkg-config), then runs them. Arguments: build directory, tutorial.
# A language whose interface is not installed is skipped by run-tutorial.sh (77); both skipped is a skip.
set -u
build=$1
tutorial=$2
here=$(dirname "$0")
work=$(mktemp -d "${TMPDIR:-/tmp}/qx-tutorial-install-XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null || exit 1
ran=0
for language in c cpp; do
    sh "$here/run-tutorial.sh" "$language-installed" "$tutorial" "$work/prefix"
    case $? in
    0) ran=$((ran + 1)) ;;
    77) ;;
    *) exit 1 ;;
    esac
done
[ $ran -gt 0 ] || exit 77
